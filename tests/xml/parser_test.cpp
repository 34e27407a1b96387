// The tolerant parser and XmlDecode.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support.h"

using xmltest::Load;
using namespace std::string_view_literals;

TEST(ParserDocument, EmptyInputsAndMissingFilesGiveABareRoot) {
    xmltest::TempDir dir;
    for (std::string_view text : {"", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "  \r\n\t "}) {
        TxmlTree tree = Load(text);
        EXPECT_EQ(xmltest::Shape(tree.Get()), "Root") << text;
        EXPECT_EQ(tree->Parent, nullptr);
    }
    EXPECT_EQ(xmltest::Shape(TxmlTree(LoadXmlFile(dir.File("absent.xml"))).Get()), "Root");
    try {  // a folder exists but is no file
        TxmlTree folder(LoadXmlFile(dir.Path().string()));
        ADD_FAILURE() << "a folder was read";
    } catch (const EInOutError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot open file", 0), 0u) << error.what();
    }
}

#ifndef _WIN32
// A read that fails is an error, not the end of the input: the tree read so far is no document.
TEST(ParserDocument, AFailingReadIsAnErrorAndLeavesTheTreeAsItWas) {
    TxmlParser parser;
    parser.LoadFromString("<Old/>");
    // A folder opens as a stream, but every read of it fails.
    xmltest::TempDir dir;
    std::ifstream folder(dir.Path());
    EXPECT_THROW(parser.LoadFromStream(folder), EInOutError);
    EXPECT_EQ(xmltest::Shape(parser.Root()), "Root(Old)");
}
#endif

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
    EXPECT_EQ(parser.Root(), nullptr);
    std::istringstream lastByte(std::string(64 * 1024, ' ') + "x");  // a last read of one byte
    parser.LoadFromStream(lastByte);
    EXPECT_EQ(parser.Root()->Value, "x");
    AnsiString expected = SaveXmlString(Load(text).Get());
    EXPECT_EQ(SaveXmlString(fromFile.Get()), expected);
    EXPECT_EQ(SaveXmlString(fromStream.Get()), expected);
    EXPECT_EQ(GetChildCount(fromFile->Children[0]), 80000);
    EXPECT_EQ(GetAttribute(fromFile->Children[0]->Children[79998], "name"), "n39999");
}

// The usual tags are taken at once, anything else byte by byte; both roads must lead to the same tree.
TEST(Parser, TextsGiveTheirTrees) {
    const struct {
        std::string_view text, shape;
    } cases[] = {
        {"<?xml version=\"1.0\"?><!DOCTYPE x SYSTEM \"a>b\"><x a=\"\xC0\xFF\"/>", "Root(x{a=\xC0\xFF})"},
        {"<a><b></a><c/>", "Root(a(b),c)"},  // </a> closed b and a
        {"<a></zz><b/>", "Root(a,b)"},        // an end tag matching nothing returns to the top
        {"<Options><x/></OPTIONS><y/>", "Root(Options(x),y)"},
        {"<a><b>", "Root(a(b))"},
        {"<x /><y z=\"1\"/><br/><q>", "Root(x,y{z=1},br,q)"},
        {"<a x/y=\"1\" / b=\"2\"><c/></a>", "Root(a{xy=1|b=2}(c))"},  // a slash inside a tag is skipped
        {"<a><b></a/><c/>", "Root(a(b),c)"},
        {"<a><!----></><b/></a><c/>", "Root(a(!,b),c)"},
        {"<a x=\"1 &lt; 2\" y = \"l1\r\nl2\" z=\"p&#13;q&#10;r\" w=\"\" />", "Root(a{x=1 < 2|y=l1  l2|z=p q r|w=})"},
        {"<x flag a=\"1\" =\"nameless\" s='single' b=\"2\">", "Root(x{a=1|=nameless|b=2})"},
        {"<x a=\"p&#0;q\" b=\"2\"/>", "Root(x{a=p\0q|b=2})"sv},
        {"<a>  Hello &amp; bye  </a><b>x<i />y</b><c>\r\n\t </c>", "Root(a=\"Hello & bye\",b=\"y\"(i),c)"},
        {"<a>x > y</a><b>a/</b><c>1/2</c><d>>lead</d>", "Root(a=\"x > y\",b=\"a/\",c=\"1/2\",d=\">lead\")"},
        {"<!-- note --><a><!--x &amp; y--></a><!--dash---><!--one-->two-->",
         "Root=\"two-->\"(!=\" note \",a(!=\"x &amp; y\"),!=\"dash-\",!=\"one\")"},
        {"<a/><!-- open <b/>", "Root(a,!=\" open <b/>\")"},
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
        {"<a x=\"1\"", "Root(a{x=1})"},
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
    // Decoding shortens a line of 132 bytes to 28, across the size where its stored length takes a byte less.
    std::string amps;
    for (int i = 0; i < 26; ++i) amps += "&amp;";
    EXPECT_EQ(Load("<b n=\"" + amps + "\" m=\"2\"/>")->Children[0]->Attributes.Lines(),
              (std::vector<AnsiString>{"n=" + std::string(26, '&'), "m=2"}));
}

TEST(Parser, MalformedInputsBuildSomeTreeWithoutFailing) {
    for (std::string_view text : {"<", "</", "<a", "<a b=\"", "<a b=\"1", "<!--", "<!", "<?", "&", "/", ">", "<>",
                                  "< a>", "<a/", "</a", "<a>/", "a/", "<a x=\"1\"\"2\">", "<<<>>>", "]]>"}) {
        TxmlTree tree = Load(text);
        EXPECT_TRUE(CheckTree(tree.Get())) << text;
        EXPECT_EQ(tree->Name, "Root");
    }
}

// A text decodes in one pass when every "&" starts a known reference; otherwise only the four named
// references are replaced, one level deep, and numeric references stay.
TEST(Decode, ReferencesAndTheirBoundaries) {
    const std::string_view cases[][2] = {
        {"plain", "plain"},
        {"a &amp; b &lt; c &gt; d &quot;e&quot;", "a & b < c > d \"e\""},
        {"&#65;&#321;&#0065;&#9;", "AAA\t"},
        {"&#0;", "\0"sv},
        {"&#255;&#256;", "\xFF\0"sv},
        {"&#99999999999999999999;", "\xFF"},  // (10^20 - 1) modulo 256, without overflow
        {"&#65;&amp;", "A&"},                 // references that end the text
        {"&#65;&lt;", "A<"},
        {"&#65;&quot;", "A\""},
        {"&#65;&gt", "A>"},
        {"a&gtb", "a>b"},
        {"&#65;&amp", "&#65;&amp"},  // cut short: nothing decodes in one pass
        {"&#65;&lt", "&#65;&lt"},
        {"&#65;&quot", "&#65;&quot"},
        {"&#65;&g", "&#65;&g"},
        {"&#65;&#", "&#65;&#"},
        {"&#65;&#66", "&#65;&#66"},
        {"&#65;&", "&#65;&"},
        {"a &amp; b & c", "a & b & c"},
        {"&apos; &amp;", "&apos; &"},
        {"&#x41; &lt;", "&#x41; <"},
        {"&#65 &quot;", "&#65 \""},
        {"&#; &amp;", "&#; &"},
        {"&gt &gt; &", "&gt > &"},
        {"&l &a &q", "&l &a &q"},
        {"&amp;lt;", "&lt;"},
        {"&g&gt;t &#6&gt;5;", "&g>t &#6>5;"},  // taking "&gt" out joins no reference
    };
    for (const auto& c : cases) EXPECT_EQ(XmlDecode(c[0]), c[1]) << c[0];
}
