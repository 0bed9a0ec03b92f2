// The XML helper's namespace-aware lookups, which every format reader uses:
// names match by local name whatever the prefix, namespaces by URI, and an
// attribute without a namespace differs from one with the same local name.
#include "platform/Xml.h"

#include <gtest/gtest.h>

namespace paginor {
namespace {

constexpr std::string_view kDocument =
    R"(<r:root xmlns:r="urn:one" xmlns:o="urn:other" xmlns:t="urn:two">)"
    R"(<o:item o:name="other" name="plain">skip</o:item>)"
    R"(<t:item t:name="two">a<![CDATA[b]]><r:inner>c</r:inner>d</t:item>)"
    R"(<item name="bare"/>)"
    R"(</r:root>)";

constexpr std::string_view kOne[] = {"urn:one"};
constexpr std::string_view kTwoOrOne[] = {"urn:two", "urn:one"};
constexpr std::string_view kTwo[] = {"urn:two"};

TEST(XmlLookups, ElementsByLocalNameAndNamespace) {
    const TXmlDocument document = TXmlDocument::Parse(kDocument);
    const TXmlNode root = document.Root();
    EXPECT_TRUE(root.LocalIs("root"));
    EXPECT_FALSE(root.Is("root")); // as written it is "r:root"
    EXPECT_EQ(root.LocalName(), "root");
    EXPECT_TRUE(root.InNamespace("urn:one"));
    EXPECT_TRUE(root.IsIn(kTwoOrOne, "root"));
    EXPECT_FALSE(root.IsIn(kTwo, "root"));

    // The first child of that local name, whatever its namespace, and the
    // first in a namespace, which is a later one.
    EXPECT_EQ(root.LocalChild("item").Attribute("name"), "plain");
    EXPECT_EQ(root.ChildIn(kTwo, "item").Raw(), root.ChildIn(kTwoOrOne, "item").Raw());
    EXPECT_EQ(root.ChildIn(kTwo, "item").AttributeIn(kTwo, "name"), "two");
    EXPECT_FALSE(root.ChildIn(kOne, "item")); // the bare item has no namespace
    EXPECT_FALSE(root.LocalChild("missing"));
    EXPECT_TRUE(root.FindLocal("inner").InNamespace(kOne));
    EXPECT_TRUE(root.FindLocal("root").LocalIs("root")); // the node itself counts
}

TEST(XmlLookups, Attributes) {
    const TXmlDocument document = TXmlDocument::Parse(kDocument);
    const TXmlNode other = document.Root().LocalChild("item");
    struct TCase {
        std::optional<std::string> Found;
        std::optional<std::string> Expected;
    } cases[] = {
        {other.LocalAttribute("name"), "other"}, // the first in document order
        {other.PlainAttribute("name"), "plain"},
        {other.AttributeIn(kOne, "name"), std::nullopt},
        {other.AttributeIn(std::array<std::string_view, 1>{"urn:other"}, "name"), "other"},
        {TXmlNode().LocalAttribute("name"), std::nullopt},
        {document.Root().LocalAttribute("name"), std::nullopt},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].Found, cases[i].Expected) << "case " << i;
}

TEST(XmlLookups, TextAndWalk) {
    const TXmlDocument document = TXmlDocument::Parse(kDocument);
    const TXmlNode two = document.Root().ChildIn(kTwo, "item");
    EXPECT_EQ(two.ChildText(), "abd"); // text and CDATA children only
    EXPECT_EQ(two.AllText(), "abcd");  // the whole subtree in order
    std::string names;
    document.Root().ForEachElement(
        [&](TXmlNode node) { names += std::string(node.LocalName()) + " "; });
    EXPECT_EQ(names, "item item inner item ");
}

} // namespace
} // namespace paginor
