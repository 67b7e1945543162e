#include "EngineSupport.h"
#include "syntax/KTSyntaxDefinition.h"

#include <gtest/gtest.h>

using namespace syntaxtest;

namespace {

// The scope letter expected at the first character of the n-th occurrence of a piece of text.
struct Spot {
    const char* needle;
    int occurrence;
    char scope;
};

struct Sample {
    const char* fileType;
    const char* title;
    const char* text;
    std::vector<Spot> spots;
};

const Sample kSamples[] = {
    {"html",
     "HTML",
     "<!DOCTYPE html>\n<html lang=\"en\">\n<!-- note -->\n<div class=\"box\">div text</div>\n"
     "<script>\nvar s = \"a\";\n</script>\n",
     {{"DOCTYPE", 0, 'u'},
      {"html", 0, 'k'},
      {" lang", 0, 't'},
      {"=", 0, 'e'},
      {"\"en\"", 0, 's'},
      {"note", 0, 'c'},
      {"div", 0, 'k'},
      {"div", 1, 'p'},
      {"text", 0, 'p'},
      {"\"box\"", 0, 's'},
      {"var", 0, 'p'},
      {"\"a\"", 0, 's'}}},
    {"php",
     "PHP",
     "<?php\n$name = \"x\"; // c\necho strlen($name);\n?>\n<p class=\"a\">echo</p>\n",
     {{"php", 0, 'k'},
      {"$name", 0, 't'},
      {"$name", 1, 't'},
      {"\"x\"", 0, 's'},
      {"// c", 0, 'c'},
      {"echo", 0, 'k'},
      {"strlen", 0, 'u'},
      {"?>", 0, 'p'},
      {"p class", 0, 'k'},
      {" class", 0, 't'},
      {"echo", 1, 'p'}}},
    {"css",
     "CSS",
     "/* c */\nbody {\n  background-color: #fff;\n  margin: 0 auto;\n}\n@media screen {\n"
     "  a:hover { color: red; }\n}\n.x { content: \"q\"; }\n",
     {{"c */", 0, 'c'},
      {"background-color", 0, 'k'},
      {"color", 0, 'k'},
      {"#fff", 0, 'p'},
      {"margin", 0, 'k'},
      {"auto", 0, 'u'},
      {"@media", 0, 'k'},
      {":hover", 0, 'u'},
      {"body", 0, 'p'},
      {"\"q\"", 0, 's'}}},
    {"js",
     "JavaScript",
     "// line\nfunction f(a) {\n  const s = 'it\\'s';\n  /* block */\n"
     "  return console.log(\"x\" + a);\n}\n",
     {{"line", 0, 'c'},
      {"function", 0, 'k'},
      {"const", 0, 'k'},
      {"'it", 0, 's'},
      {"s';", 0, 's'},
      {"block", 0, 'c'},
      {"return", 0, 'k'},
      {"console", 0, 'u'},
      {"log", 0, 'u'},
      {"\"x\"", 0, 's'},
      {"f(a)", 0, 'p'}}},
    {"json",
     "JSON",
     "{\"a\": true, \"b\": [null, 1], \"c\": \"true\"}\n",
     {{"\"a\"", 0, 's'}, {"true", 0, 'k'}, {"null", 0, 'k'}, {"1", 0, 'p'}, {"true", 1, 's'}}},
    {"svg",
     "XML",
     "<?xml version=\"1.0\"?>\n<root a=\"b\"><!-- c --><![CDATA[ d ]]></root>\n",
     {{"xml", 0, 'k'},
      {"version", 0, 'k'},
      {"\"1.0\"", 0, 's'},
      {"root", 0, 'e'},
      {" a", 0, 't'},
      {"c -->", 0, 'c'},
      {"d ]]", 0, 'c'}}},
    {"md",
     "Markdown",
     "# Title\nSome `code` here, issue\n<!-- hidden -->\nTODO done\n",
     {{"Title", 0, 't'},
      {"Some", 0, 'p'},
      {"`code`", 0, 's'},
      {"hidden", 0, 'c'},
      {"TODO", 0, 'k'},
      {"done", 0, 'p'}}},
    {"py",
     "Python",
     "# comment\ndef f(x):\n    return len(\"s\") if x else None\n",
     {{"comment", 0, 'c'},
      {"def", 0, 'k'},
      {"return", 0, 'k'},
      {"len", 0, 'u'},
      {"\"s\"", 0, 's'},
      {"None", 0, 'k'},
      {"f(x)", 0, 'p'}}},
    {"rb",
     "Ruby",
     "# c\nclass Foo\n  def bar\n    @x = \"s\"\n    puts @x\n  end\nend\n",
     {{"# c", 0, 'c'},
      {"class", 0, 'k'},
      {"def", 0, 'k'},
      {"@x", 0, 't'},
      {"@x", 1, 't'},
      {"puts", 0, 'u'},
      {"\"s\"", 0, 's'},
      {"end", 0, 'k'},
      {"Foo", 0, 'p'}}},
    {"pl",
     "Perl",
     "#!/usr/bin/perl\nmy $x = \"a\"; # c\nprint join(\",\", @list);\n",
     {{"#!", 0, 'p'},
      {"perl", 0, 'p'},
      {"my", 0, 'k'},
      {"$x", 0, 't'},
      {"\"a\"", 0, 's'},
      {"# c", 0, 'c'},
      {"print", 0, 'k'},
      {"join", 0, 'u'},
      {"@list", 0, 't'}}},
    {"sql",
     "SQL",
     "-- c\nSELECT name, COUNT(*) FROM users WHERE id = 'x';\n/* b */\n",
     {{"-- c", 0, 'c'},
      {"SELECT", 0, 'k'},
      {"COUNT", 0, 'u'},
      {"FROM", 0, 'k'},
      {"WHERE", 0, 'k'},
      {"'x'", 0, 's'},
      {"b */", 0, 'c'},
      {"users", 0, 'p'}}},
    {"sh",
     "Shell",
     "#!/bin/sh\n# c\nfor f in *.txt; do\n  echo \"$f\" $HOME\ndone\n",
     {{"#!", 0, 'p'},
      {"# c", 0, 'c'},
      {"for", 0, 'k'},
      {"in *", 0, 'k'},
      {"echo", 0, 'u'},
      {"\"$f\"", 0, 's'},
      {"$HOME", 0, 't'},
      {"done", 0, 'k'}}},
    {"c",
     "C",
     "#include <stdio.h>\n/* c */\nint main(void) {\n  printf(\"%d\\n\", 1); // x\n"
     "  return 0;\n}\n",
     {{"#include", 0, 'k'},
      {"stdio", 0, 'p'},
      {"c */", 0, 'c'},
      {"int", 0, 'k'},
      {"main", 0, 'u'},
      {"printf", 0, 'u'},
      {"\"%d", 0, 's'},
      {"// x", 0, 'c'},
      {"return", 0, 'k'}}},
    {"cpp",
     "C++",
     "namespace a {\nclass B : public std::vector<int> {};\n}\n// c\n"
     "auto p = std::make_unique<B>();\n",
     {{"namespace", 0, 'k'},
      {"class", 0, 'k'},
      {"public", 0, 'k'},
      {"std", 0, 'u'},
      {"vector", 0, 'u'},
      {"int", 0, 'k'},
      {"// c", 0, 'c'},
      {"auto", 0, 'k'},
      {"make_unique", 0, 'u'}}},
    {"java",
     "Java",
     "@Override\npublic String toString() {\n  return \"s\"; /* c */\n}\n",
     {{"@Override", 0, 'u'},
      {"public", 0, 'k'},
      {"String", 0, 'u'},
      {"toString", 0, 'p'},
      {"return", 0, 'k'},
      {"\"s\"", 0, 's'},
      {"c */", 0, 'c'}}},
};

qsizetype nthIndexOf(const QString& text, const QString& needle, int occurrence) {
    qsizetype index = -1;
    for (int i = 0; i <= occurrence; ++i) {
        index = text.indexOf(needle, index + 1);
        if (index < 0)
            return -1;
    }
    return index;
}

TEST(ShippedDefinitions, SamplesGetTheirScopes) {
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.fileType);
        const auto definition = KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor(
            KTSyntaxDescriptor{QString::fromLatin1(sample.fileType)});
        ASSERT_NE(definition, nullptr);
        EXPECT_EQ(definition->title(), sample.title);
        const QString text = QString::fromUtf8(sample.text);
        auto store = makeStore(text);
        KeywordListSyntaxEngine engine;
        engine.setSyntaxTheme(scopeTheme());
        engine.setSyntaxDefinition(definition);
        engine.setTextStorage(store.get());
        engine.ensureParsingForCharacterRange(NSMakeRange(0, uint32_t(text.size())));
        const QString map = scopeMap(*store);
        for (const Spot& spot : sample.spots) {
            const qsizetype at = nthIndexOf(text, QString::fromUtf8(spot.needle), spot.occurrence);
            ASSERT_GE(at, 0) << spot.needle;
            EXPECT_EQ(map[at], QChar(spot.scope))
                << spot.needle << " #" << spot.occurrence << " in\n"
                << text.toStdString() << "\n"
                << map.toStdString();
        }
    }
}

} // namespace
