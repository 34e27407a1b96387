// The tolerant parser and XmlDecode.
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <thread>

#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "support.h"

using xmltest::ChildNames;
using xmltest::Load;

namespace {

const TxmlNode* Only(const TxmlTree& tree) {
    EXPECT_EQ(GetChildCount(tree.Get()), 1) << ChildNames(tree.Get());
    return tree->Children.empty() ? tree.Get() : tree->Children[0];
}

}  // namespace

TEST(ParserDocument, EmptyInputsGiveABareRoot) {
    for (std::string_view text : {"", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "  \r\n\t "}) {
        TxmlTree tree = Load(text);
        EXPECT_EQ(tree->Name, "Root");
        EXPECT_EQ(GetChildCount(tree.Get()), 0) << text;
        EXPECT_TRUE(tree->Attributes.Empty());
        EXPECT_EQ(tree->Parent, nullptr);
    }
}

TEST(ParserDocument, DeclarationsAndDocumentTypesAreSkippedOutsideQuotes) {
    TxmlTree tree = Load("<?xml version=\"1.0\"?><!DOCTYPE x SYSTEM \"a>b\"><x a=\"\xC0\xFF\"/>");
    EXPECT_EQ(ChildNames(tree.Get()), "x");
    EXPECT_EQ(GetAttribute(Only(tree), "a"), "\xC0\xFF");  // bytes pass through unchanged
}

TEST(ParserDocument, MissingFileGivesEmptyTreeAndUnopenableFileThrows) {
    xmltest::TempDir dir;
    TxmlTree missing(LoadXmlFile(dir.File("absent.xml")));
    EXPECT_EQ(missing->Name, "Root");
    EXPECT_EQ(GetChildCount(missing.Get()), 0);
    try {  // a folder exists but is no file
        TxmlTree folder(LoadXmlFile(dir.Path().string()));
        ADD_FAILURE() << "a folder was read";
    } catch (const EInOutError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot open file", 0), 0u) << error.what();
    }
}

// A read that fails is an error, not the end of the input: the tree read so far is no document.
TEST(ParserDocument, AFailingReadIsAnErrorAndLeavesTheTreeAsItWas) {
    std::string text = "<List>";
    while (text.size() < 100000) text += "<Item Name=\"n" + std::to_string(text.size()) + "\" />";
    TxmlParser parser;
    parser.LoadFromString("<Old/>");
#ifdef _WIN32
    // A pipe whose server hangs up after 100 KB: the data still in the pipe is lost, and the reading
    // that follows fails (the end of a pipe would be a broken pipe, not this).
    const char* name = "\\\\.\\pipe\\uf_parser_test";
    HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::thread writer([&] {
        ConnectNamedPipe(server, nullptr);
        DWORD written = 0;
        WriteFile(server, text.data(), DWORD(text.size()), &written, nullptr);
        DisconnectNamedPipe(server);
    });
    EXPECT_THROW(parser.LoadFromFile(name), EInOutError);
    writer.join();
    CloseHandle(server);
#else
    // A folder opens as a stream, but every read of it fails.
    xmltest::TempDir dir;
    std::ifstream folder(dir.Path());
    EXPECT_THROW(parser.LoadFromStream(folder), EInOutError);
#endif
    // The tree read before stays whole; nothing of the failed read is in it.
    ASSERT_EQ(GetChildCount(parser.Root()), 1);
    EXPECT_EQ(parser.Root()->Children[0]->Name, "Old");
}

TEST(ParserDocument, FileStreamAndMemoryReadTheSameAcrossBufferBoundaries) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<List>";
    for (int i = 0; i < 40000; ++i)  // more than 2 MiB: the file's bytes and the tree lie in large pages
        text += "<Item Name=\"n" + std::to_string(i) + "\" Note=\"a &amp; b\">t" + std::to_string(i) + "</Item><!--c-->";
    text += "</List>";
    xmltest::TempDir dir;
    xmltest::WriteFile(dir.File("big.xml"), text);
    TxmlTree fromFile(LoadXmlFile(dir.File("big.xml")));
    std::istringstream stream(text);
    TxmlParser parser;
    parser.LoadFromStream(stream);
    TxmlTree fromStream(parser.TakeRoot());
    TxmlTree fromMemory = Load(text);
    AnsiString expected = SaveXmlString(fromMemory.Get());
    EXPECT_EQ(SaveXmlString(fromFile.Get()), expected);
    EXPECT_EQ(SaveXmlString(fromStream.Get()), expected);
    EXPECT_EQ(GetChildCount(fromFile->Children[0]), 80000);
    EXPECT_EQ(GetAttribute(fromFile->Children[0]->Children[79998], "name"), "n39999");
}

TEST(ParserDocument, ParserReusedOnANewSourceStartsAFreshTree) {
    TxmlParser parser;
    parser.LoadFromString("<a/>");
    TxmlNode* first = parser.Root();
    parser.LoadFromString("<b/>");
    EXPECT_NE(parser.Root(), nullptr);
    EXPECT_EQ(ChildNames(parser.Root()), "b");
    (void)first;
    TxmlTree owned(parser.TakeRoot());
    EXPECT_EQ(parser.Root(), nullptr);
}

TEST(ParserElements, NestingEndTagsAndStrayEndTags) {
    TxmlTree tree = Load("<a><b></a><c/>");
    EXPECT_EQ(ChildNames(tree.Get()), "a,c");  // </a> closed b and a
    EXPECT_EQ(ChildNames(tree->Children[0]), "b");

    TxmlTree stray = Load("<a></zz><b/>");
    EXPECT_EQ(ChildNames(stray.Get()), "a,b");  // an end tag matching nothing returns to the top

    TxmlTree folded = Load("<Options><x/></OPTIONS><y/>");
    EXPECT_EQ(ChildNames(folded.Get()), "Options,y");

    TxmlTree open = Load("<a><b>");
    EXPECT_EQ(GetNodePath(open->Children[0]->Children[0]), "Root\\a\\b");  // unclosed elements stay
}

TEST(ParserElements, EmptyElementForms) {
    TxmlTree tree = Load("<x /><y z=\"1\"/><br/><q>");
    EXPECT_EQ(ChildNames(tree.Get()), "x,y,br,q");
    EXPECT_EQ(GetAttribute(tree->Children[1], "z"), "1");
    EXPECT_EQ(GetChildCount(tree->Children[2]), 0);
}

TEST(ParserElements, SlashInsideATagIsSkipped) {
    TxmlTree tree = Load("<a x/y=\"1\" / b=\"2\"><c/></a>");
    const TxmlNode* a = Only(tree);
    EXPECT_EQ(a->Attributes.Text(), "xy=1\r\nb=2\r\n");
    EXPECT_EQ(ChildNames(a), "c");
    TxmlTree endTag = Load("<a><b></a/><c/>");
    EXPECT_EQ(ChildNames(endTag.Get()), "a,c");
}

TEST(ParserElements, EmptyCommentAndNamelessEndTagDoNotStopReading) {
    TxmlTree tree = Load("<a><!----></><b/></a><c/>");
    EXPECT_EQ(ChildNames(tree.Get()), "a,c");
    const TxmlNode* a = tree->Children[0];
    ASSERT_EQ(GetChildCount(a), 2);
    EXPECT_TRUE(a->Children[0]->IsComment);
    EXPECT_EQ(a->Children[0]->Value, "");
    EXPECT_EQ(a->Children[1]->Name, "b");
}

TEST(ParserAttributes, QuotedValuesAreDecodedAndLineBreaksBecomeBlanks) {
    TxmlTree tree = Load("<a x=\"1 &lt; 2\" y = \"l1\r\nl2\" z=\"p&#13;q&#10;r\" w=\"\" />");
    const TxmlNode* a = Only(tree);
    EXPECT_EQ(GetAttribute(a, "x"), "1 < 2");
    EXPECT_EQ(GetAttribute(a, "y"), "l1  l2");
    EXPECT_EQ(GetAttribute(a, "z"), "p q r");
    EXPECT_EQ(a->Attributes.Count(), 4);  // a parsed file may bring in an empty value
    EXPECT_EQ(a->Attributes.Line(3), "w=");
    // Decoding shortens a line of 132 bytes to 28, across the size where its stored length takes a byte less.
    std::string amps;
    for (int i = 0; i < 26; ++i) amps += "&amp;";
    TxmlTree shortened = Load("<b n=\"" + amps + "\" m=\"2\"/>");
    EXPECT_EQ(Only(shortened)->Attributes.Lines(), (std::vector<AnsiString>{"n=" + std::string(26, '&'), "m=2"}));
}

TEST(ParserAttributes, NamesWithoutValuesAndOtherOddForms) {
    TxmlTree tree = Load("<x flag a=\"1\" =\"nameless\" s='single' b=\"2\">");
    const TxmlNode* x = Only(tree);
    EXPECT_EQ(x->Attributes.Lines(), (std::vector<AnsiString>{"a=1", "=nameless", "b=2"}));
}

TEST(ParserAttributes, NulInAValueKeepsTheFollowingAttributes) {
    TxmlTree tree = Load(std::string("<x a=\"p&#0;q\" b=\"2\"/>"));
    const TxmlNode* x = Only(tree);
    EXPECT_EQ(GetAttribute(x, "a"), std::string("p\0q", 3));
    EXPECT_EQ(GetAttribute(x, "b"), "2");
}

TEST(ParserText, TrimmedDecodedAndTheLastTextWins) {
    TxmlTree tree = Load("<a>  Hello &amp; bye  </a><b>x<i />y</b><c>\r\n\t </c>");
    EXPECT_EQ(tree->Children[0]->Value, "Hello & bye");
    EXPECT_EQ(tree->Children[1]->Value, "y");
    EXPECT_EQ(tree->Children[2]->Value, "");
}

TEST(ParserText, GreaterThanAndSlashesBelongToTheText) {
    TxmlTree tree = Load("<a>x > y</a><b>a/</b><c>1/2</c><d>>lead</d>");
    EXPECT_EQ(tree->Children[0]->Value, "x > y");
    EXPECT_EQ(tree->Children[1]->Value, "a/");
    EXPECT_EQ(ChildNames(tree.Get()), "a,b,c,d");  // the tag after "a/" is read as a tag
    EXPECT_EQ(tree->Children[2]->Value, "1/2");
    EXPECT_EQ(tree->Children[3]->Value, ">lead");
}

TEST(ParserComments, TextKeptAsItIsAndEndingAtTheFirstClose) {
    TxmlTree tree = Load("<!-- note --><a><!--x &amp; y--></a><!--dash---><!--one-->two-->");
    ASSERT_GE(GetChildCount(tree.Get()), 4);
    EXPECT_TRUE(tree->Children[0]->IsComment);
    EXPECT_EQ(tree->Children[0]->Value, " note ");
    EXPECT_EQ(tree->Children[0]->Name, "");
    EXPECT_EQ(tree->Children[1]->Children[0]->Value, "x &amp; y");  // not decoded
    EXPECT_EQ(tree->Children[2]->Value, "dash-");
    EXPECT_EQ(tree->Children[3]->Value, "one");
    EXPECT_EQ(tree->Value, "two-->");  // what follows is text of the top node
}

TEST(ParserComments, UnterminatedCommentRunsToTheEnd) {
    TxmlTree tree = Load("<a/><!-- open <b/>");
    ASSERT_EQ(GetChildCount(tree.Get()), 2);
    EXPECT_EQ(tree->Children[1]->Value, " open <b/>");
}

// The usual tags are taken at once, anything else byte by byte; both roads must lead to the same tree.
TEST(ParserRobustness, OddTagsEndWhereTheRulesLeadThem) {
    const struct {
        std::string_view text, shape;
    } cases[] = {
        {"<a x=\"1\"\"2\">", "Root(a{x=1|\"2=>})"},  // a quote right after a value starts a name
        {"<a x=\"1\" \"2\">", "Root(a{x=1|=2})"},    // after a blank it starts a value
        {"<a x=\"1\"y=\"2\"/>", "Root(a{x=1|y=2})"},
        {"<a x = \"1\" =b= \"2\">", "Root(a{x=1|b=2})"},
        {"<a/b=\"1\">", "Root(a{b=1})"},
        {"< a><<b><c\"><d?e f=\"1\">", "Root( a(<b(c\"(d{f=1}))))"},  // the byte after "<" always belongs to the name
        {"<a></a x=\"1\"><b/>", "Root(a,b)"},
        {"<a><b></ a><c/>", "Root(a(b(c)))"},  // "</ a>" is an end tag without a name
        {"<a>x<b>y</b>z</Root>w", "Root=\"w\"(a=\"z\"(b=\"y\"))"},
        {"<a x=\"1&#10;2\" y=\"&gt&gt;&#62;\" z=\"&g&gt;t\">", "Root(a{x=1 2|y=>>>|z=&g>t})"},
        {"<a>t&gt;x</a><b>&amp&gt;</b>", "Root(a=\"t>x\",b=\"&amp>\")"},
        {"<a x=\"1", "Root(a{x=1})"},
        {"<a/>/", "Root(a)"},
        {"<!--->--><?x a=\"/>\"?><!DOCTYPE a [ <!ENTITY b \"c>\"> ]><a/>", "Root=\"]>\"(!=\"->\",a)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xmltest::Shape(Load(c.text).Get()), c.shape) << c.text;
        // The same tag after a long run of blanks and text, where runs are looked at sixteen bytes at a time.
        std::string padded = "<p>" + std::string(40, 'x') + "</p>" + std::string(37, ' ') + std::string(c.text);
        std::string shape(c.shape);
        shape.insert(shape.find('(') + 1, "p=\"" + std::string(40, 'x') + "\",");
        EXPECT_EQ(xmltest::Shape(Load(padded).Get()), shape) << padded;
    }
}

TEST(ParserRobustness, MalformedInputsBuildSomeTreeWithoutFailing) {
    for (std::string_view text : {"<", "</", "<a", "<a b=\"", "<a b=\"1", "<!--", "<!", "<?", "&", "/", ">", "<>",
                                  "< a>", "<a/", "</a", "<a>/", "a/", "<a x=\"1\"\"2\">", "<<<>>>", "]]>"}) {
        TxmlTree tree = Load(text);
        EXPECT_TRUE(CheckTree(tree.Get())) << text;
        EXPECT_EQ(tree->Name, "Root");
    }
}

TEST(Decode, NamedAndNumericReferences) {
    EXPECT_EQ(XmlDecode("a &amp; b &lt; c &gt; d &quot;e&quot;"), "a & b < c > d \"e\"");
    EXPECT_EQ(XmlDecode("&#65;&#321;&#0065;"), "AAA");
    EXPECT_EQ(XmlDecode("&#65;&amp;"), "A&");  // a reference that ends the text
    EXPECT_EQ(XmlDecode("a&gtb"), "a>b");
    EXPECT_EQ(XmlDecode("plain"), "plain");
    EXPECT_EQ(XmlDecode("&#0;"), std::string(1, '\0'));
    EXPECT_EQ(XmlDecode("&#99999999999999999999;"), "\xFF");  // (10^20 - 1) modulo 256, without overflow
}

TEST(Decode, AnyOtherAmpersandFormFallsBackToTheFourReplacePasses) {
    EXPECT_EQ(XmlDecode("a &amp; b & c"), "a & b & c");
    EXPECT_EQ(XmlDecode("&apos; &amp;"), "&apos; &");
    EXPECT_EQ(XmlDecode("&#x41; &lt;"), "&#x41; <");
    EXPECT_EQ(XmlDecode("&#65 &quot;"), "&#65 \"");
    EXPECT_EQ(XmlDecode("&#; &amp;"), "&#; &");
    EXPECT_EQ(XmlDecode("&#65;&"), "&#65;&");      // numeric references stay in this case
    EXPECT_EQ(XmlDecode("&gt &gt; &"), "&gt > &");  // and so does "&gt" without ";"
    EXPECT_EQ(XmlDecode("&l &a &q"), "&l &a &q");
    EXPECT_EQ(XmlDecode("&amp;lt;"), "&lt;");       // one level only
    EXPECT_EQ(XmlDecode("&g&gt;t &#6&gt;5;"), "&g>t &#6>5;");  // taking "&gt" out joins no reference
}
