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

TEST(WriterLines, EmptyContainerAndEncodingDeclaration) {
    TxmlTree top = Container();
    top->Value = "not written";
    SetAttribute(top.Get(), "nor", "this");
    EXPECT_EQ(SaveXmlString(top.Get()), kHead);
    EXPECT_EQ(SaveXmlString(top.Get(), "windows-1251"),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<!-- created by Velmora XML package -->\r\n");
}

TEST(WriterLines, EveryNodeForm) {
    TxmlTree top = Container();
    AddNamedChild(top.Get(), "Empty");
    AddNamedChild(top.Get(), "Text")->Value = "a<b";
    TxmlNode* parent = AddNamedChild(top.Get(), "Parent");
    parent->Value = "lead & text";
    AddNamedChild(parent, "Kid");
    TxmlNode* withAttrs = AddNamedChild(top.Get(), "P2");
    SetAttribute(withAttrs, "k", "v");
    TxmlNode* deep = AddNamedChild(AddNamedChild(withAttrs, "L2"), "L3");
    TxmlNode* comment = AddChild(deep);
    comment->IsComment = true;
    comment->Value = " a <comment> & ";
    EXPECT_EQ(SaveXmlString(top.Get()), kHead +
                                            "  <Empty />\r\n"
                                            "  <Text>a&lt;b</Text>\r\n"
                                            "  <Parent>lead &amp; text\r\n"
                                            "    <Kid />\r\n"
                                            "  </Parent>\r\n"
                                            "  <P2 k=\"v\" >\r\n"
                                            "    <L2>\r\n"
                                            "      <L3>\r\n"
                                            "<!-- a <comment> & -->\r\n"
                                            "      </L3>\r\n"
                                            "    </L2>\r\n"
                                            "  </P2>\r\n");
}

TEST(WriterLines, EscapingAndTheNulByte) {
    EXPECT_EQ(XmlEncode("1 < \"2\" & 3 > 'x'\x01\xE9"), "1 &lt; &quot;2&quot; &amp; 3 &gt; 'x'\x01\xE9");
    EXPECT_EQ(XmlEncode(std::string("cut\0here", 8)), "cut");
    TxmlTree top = Container();
    TxmlNode* a = AddNamedChild(top.Get(), "a");
    a->Attributes.Add(std::string("v=1\0 2", 6));
    a->Value = std::string("x\0y", 3);
    EXPECT_EQ(SaveXmlString(top.Get()), kHead + "  <a v=\"1\">x</a>\r\n");
}

TEST(WriterLines, DuplicateNamesCarryTheFirstValue) {
    TxmlTree top = Container();
    TxmlNode* a = AddNamedChild(top.Get(), "a");
    a->Attributes.SetText("Key=1\r\nKEY=2\r\nother=3");
    EXPECT_EQ(SaveXmlString(top.Get()), kHead + "  <a Key=\"1\" KEY=\"1\" other=\"3\" />\r\n");
}

TEST(WriterLines, NodesThatWriteNothingAndOddTrees) {
    TxmlTree top = Container();
    TxmlNode* emptyComment = AddChild(top.Get());
    emptyComment->IsComment = true;
    AddChild(top.Get());  // no name, attributes, children or value
    TxmlNode* header = AddNamedChild(top.Get(), "Skipped");
    header->Value = " created by Velmora XML package ";
    AddNamedChild(header, "WithIt");
    TxmlNode* nameless = AddChild(top.Get());
    SetAttribute(nameless, "a", "1");
    AddChild(top.Get())->Value = "v";
    // A parent whose start line trims to "< />" loses that line only.
    TxmlNode* slash = AddNamedChild(top.Get(), " /");
    AddNamedChild(slash, "in");
    EXPECT_EQ(SaveXmlString(top.Get()), kHead + "  < a=\"1\" />\r\n  <>v</>\r\n    <in />\r\n  </ />\r\n");
}

TEST(WriterRoundTrip, SaveLoadSaveGivesTheSameBytes) {
    std::string source =
        "<?xml version=\"1.0\"?>\r\n<!-- created by Velmora XML package -->\r\n"
        "<Options Count=\"3\"><Advanced Language=\"Russian\" Quote=\"&quot;a &amp; b&quot;\" />"
        "<List>head text<Item Name=\"&lt;1&gt;\">one</Item><!--note--><Item /></List>"
        "<Caption>Caf\xE9 &amp; more</Caption></Options><Second/>";
    TxmlTree first = Load(source);
    AnsiString saved = SaveXmlString(first.Get());
    TxmlTree second = Load(saved);
    EXPECT_EQ(SaveXmlString(second.Get()), saved);
    EXPECT_EQ(saved.find("created by"), saved.rfind("created by"));  // the header comment stays single
    // The reloaded tree is the same tree, the header comment included as a comment below "Root".
    ASSERT_EQ(GetChildCount(second.Get()), 3);
    EXPECT_TRUE(second->Children[0]->IsComment);
    EXPECT_EQ(GetAttribute(FindChild(second.Get(), "Options")->Children[0], "quote"), "\"a & b\"");
}

TEST(WriterRoundTrip, OuterBlanksAndLineBreaksAreWhereRoundTripsEnd) {
    TxmlTree top = Container();
    AddNamedChild(top.Get(), "a")->Value = " padded ";
    SetAttribute(AddNamedChild(top.Get(), "b"), "v", "two\r\nlines");
    TxmlTree back = Load(SaveXmlString(top.Get()));
    EXPECT_EQ(FindChild(back.Get(), "a")->Value, "padded");
    EXPECT_EQ(GetAttribute(FindChild(back.Get(), "b"), "v"), "two  lines");
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
}

TEST(WriterStream, FailingStreamThrowsWriteError) {
    TxmlTree top = Container();
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_THROW(SaveXmlStream(top.Get(), out), EInOutError);
    std::ostringstream good;
    SaveXmlStream(top.Get(), good);
    EXPECT_EQ(good.str(), kHead);
}

TEST(WriterFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    xmltest::TempDir dir;
    std::string target = dir.File("Desktop.xml");
    xmltest::WriteFile(target, std::string(100000, 'x'));  // longer than the new content
    TxmlTree top = Container();
    AddNamedChild(top.Get(), "New");
    SaveXmlFile(top.Get(), target);
    EXPECT_EQ(xmltest::ReadFile(target), kHead + "  <New />\r\n");
    SaveXmlFile(top.Get(), target);  // and again over the file just written
    EXPECT_EQ(dir.Entries(), 1u);
    TxmlTree back(LoadXmlFile(target));
    EXPECT_EQ(GetChildCount(back.Get()), 2);  // the header comment and New
}

TEST(WriterFile, UncreatableFileThrowsAndWritesNothing) {
    xmltest::TempDir dir;
    TxmlTree top = Container();
    EXPECT_THROW(SaveXmlFile(top.Get(), dir.File("no/such/folder/x.xml")), EFCreateError);
    // A folder in the target's place cannot be replaced by a file.
    std::filesystem::create_directory(dir.File("taken"));
    EXPECT_THROW(SaveXmlFile(top.Get(), dir.File("taken")), EFCreateError);
    EXPECT_EQ(dir.Entries(), 1u);  // only the folder; no temporary file left
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
    TxmlTree top = Container();
    EXPECT_NO_THROW(SaveXmlFile(top.Get(), link));
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
        int status = 3;
        try {
            SaveXmlFile(top.Get(), target);
            status = 1;  // no error reported
        } catch (const EInOutError&) {
            status = 0;
        } catch (...) {
            status = 2;
        }
        _exit(status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: another error";
    EXPECT_EQ(xmltest::ReadFile(target), old);
    EXPECT_EQ(dir.Entries(), 1u);
}
#endif
