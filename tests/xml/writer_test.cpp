// The writer: line forms, escaping, round trips and the atomic file save.
#include <sstream>

#include <gtest/gtest.h>

#include "support.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

using xmltest::Load;

namespace {

const std::string kHead = "<?xml version=\"1.0\"?>\r\n<!-- created by Velmora XML package -->\r\n";

TxmlTree Container() {
    TxmlTree top(new TxmlNode());
    top->Name = "Root";
    return top;
}

}  // namespace

TEST(WriterLines, EveryNodeForm) {
    TxmlTree top = Load("<Empty/><Text>a&lt;b</Text><Parent>lead &amp; text<Kid/></Parent>"
                        "<P2 k=\"v\"><L2><L3><!-- a <comment> & --></L3></L2></P2>");
    top->Value = "not written";
    SetAttribute(top.Get(), "nor", "this");
    EXPECT_EQ(SaveXmlString(top.Get()), kHead + "  <Empty />\r\n  <Text>a&lt;b</Text>\r\n  <Parent>lead &amp; text\r\n"
                                         "    <Kid />\r\n  </Parent>\r\n  <P2 k=\"v\" >\r\n    <L2>\r\n      <L3>\r\n"
                                         "<!-- a <comment> & -->\r\n      </L3>\r\n    </L2>\r\n  </P2>\r\n");
    EXPECT_EQ(SaveXmlString(Container().Get(), "windows-1251"),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<!-- created by Velmora XML package -->\r\n");
}

TEST(WriterLines, EscapingNulDuplicatesAndNodesThatWriteNothing) {
    EXPECT_EQ(XmlEncode("1 < \"2\" & 3 > 'x'\x01\xE9"), "1 &lt; &quot;2&quot; &amp; 3 &gt; 'x'\x01\xE9");
    EXPECT_EQ(XmlEncode(std::string("cut\0here", 8)), "cut");
    TxmlTree top = Container();
    TxmlNode* a = AddNamedChild(top.Get(), "a");
    a->Attributes.SetText("Key=1\r\nKEY=2\r\nother=3");  // duplicate names carry the first value
    a->Attributes.Add(std::string("v=1\0 2", 6));
    a->Value = std::string("x\0y", 3);
    AddChild(top.Get())->IsComment = true;  // an empty comment
    AddChild(top.Get());                    // no name, attributes, children or value
    TxmlNode* header = AddNamedChild(top.Get(), "Skipped");
    header->Value = " created by Velmora XML package ";
    AddNamedChild(header, "WithIt");
    SetAttribute(AddChild(top.Get()), "a", "1");
    AddChild(top.Get())->Value = "v";
    AddNamedChild(AddNamedChild(top.Get(), " /"), "in");  // a start line that trims to "< />" is lost alone
    EXPECT_EQ(SaveXmlString(top.Get()), kHead + "  <a Key=\"1\" KEY=\"1\" other=\"3\" v=\"1\">x</a>\r\n" +
                                            "  < a=\"1\" />\r\n  <>v</>\r\n    <in />\r\n  </ />\r\n");
}

TEST(WriterRoundTrip, SaveLoadSaveGivesTheSameBytesUpToOuterBlanksAndLineBreaks) {
    std::string source = kHead +
                         "<Options Count=\"3\"><Advanced Language=\"Russian\" Quote=\"&quot;a &amp; b&quot;\" />"
                         "<List>head text<Item Name=\"&lt;1&gt;\">one</Item><!--note--><Item /></List>"
                         "<Caption>Caf\xE9 &amp; more</Caption></Options><Second> padded </Second><b v=\"two\r\nlines\"/>";
    AnsiString saved = SaveXmlString(Load(source).Get());
    TxmlTree second = Load(saved);
    EXPECT_EQ(SaveXmlString(second.Get()), saved);
    EXPECT_EQ(saved.find("created by"), saved.rfind("created by"));  // the header comment stays single
    EXPECT_TRUE(second->Children[0]->IsComment);
    EXPECT_EQ(GetAttribute(FindChild(second.Get(), "Options")->Children[0], "quote"), "\"a & b\"");
    EXPECT_EQ(FindChild(second.Get(), "Second")->Value, "padded");
    EXPECT_EQ(GetAttribute(FindChild(second.Get(), "b"), "v"), "two  lines");
}

TEST(WriterStream, LongDocumentsAndLinesWriteAsTheString) {
    TxmlTree top = Container();
    for (int i = 0; i < 3000; ++i) SetAttribute(AddNamedChild(top.Get(), "Item"), "n", std::to_string(i) + "<&>");
    SetAttribute(AddNamedChild(top.Get(), "Huge"), "v", std::string(100000, '"'));  // past the writer's buffer
    std::ostringstream stream;
    SaveXmlStream(top.Get(), stream);
    AnsiString text = SaveXmlString(top.Get());
    EXPECT_EQ(stream.str(), text);
    // Item lines of 30 bytes besides their digits (10890 of them), and the 600017 bytes of Huge's line.
    EXPECT_EQ(text.size(), kHead.size() + 3000 * 30 + 10890 + 600017);
    TxmlTree back = Load(text);
    ASSERT_EQ(GetChildCount(back.Get()), 3002);  // the header comment, the items and Huge
    EXPECT_EQ(GetAttribute(back->Children[2000], "N"), "1999<&>");
    EXPECT_EQ(GetAttribute(back->Children[3001], "v"), std::string(100000, '"'));
    std::ostringstream failing;
    failing.setstate(std::ios::badbit);
    EXPECT_THROW(SaveXmlStream(top.Get(), failing), EInOutError);
}

TEST(WriterFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    xmltest::TempDir dir;
    std::string target = dir.File("Desktop.xml");
    xmltest::WriteFile(target, std::string(100000, 'x'));  // longer than the new content
    TxmlTree top = Container();
    AddNamedChild(top.Get(), "New");
    SaveXmlFile(top.Get(), target);
    SaveXmlFile(top.Get(), target);  // and again over the file just written
    EXPECT_EQ(xmltest::ReadFile(target), kHead + "  <New />\r\n");
    EXPECT_EQ(dir.Entries(), 1u);
    EXPECT_THROW(SaveXmlFile(top.Get(), dir.File("no/such/folder/x.xml")), EFCreateError);
    // A folder in the target's place cannot be replaced by a file.
    std::filesystem::create_directory(dir.File("taken"));
    EXPECT_THROW(SaveXmlFile(top.Get(), dir.File("taken")), EFCreateError);
    EXPECT_EQ(dir.Entries(), 2u);  // no temporary file left
}

#ifndef _WIN32
// The temporary file lies beside the file the link points to: on another file system (the tmpfs at
// /dev/shm, where there is one) no rename could bring it over from beside the link.
TEST(WriterFile, ReplacesTheFileALinkPointsToAndKeepsItsPermissions) {
    xmltest::TempDir dir;
    char shm[] = "/dev/shm/uf_writer_XXXXXX";
    const bool otherFileSystem = mkdtemp(shm) != nullptr;
    std::string real = otherFileSystem ? std::string(shm) + "/real.xml" : dir.File("real.xml");
    std::string link = dir.File("link.xml");
    xmltest::WriteFile(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_NO_THROW(SaveXmlFile(Container().Get(), link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(xmltest::ReadFile(real), kHead);
    struct stat info;
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Entries(), 1u);
    if (otherFileSystem) std::filesystem::remove_all(shm);
}

// A write that fails part way (here: the file size limit) leaves the old file whole.
TEST(WriterFile, FailingWriteLeavesTheTargetAsItWas) {
    xmltest::TempDir dir;
    std::string target = dir.File("Desktop.xml");
    std::string old = kHead + "  <Old />\r\n";
    xmltest::WriteFile(target, old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        TxmlTree top = Container();
        for (int i = 0; i < 2000; ++i) SetAttribute(AddNamedChild(top.Get(), "Item"), "n", std::to_string(i));
        try {
            SaveXmlFile(top.Get(), target);
        } catch (const EInOutError&) {
            _exit(0);
        }
        _exit(1);  // no error reported (another error ends the child abnormally)
    }
    int status = 1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(xmltest::ReadFile(target), old);
    EXPECT_EQ(dir.Entries(), 1u);
}
#endif
