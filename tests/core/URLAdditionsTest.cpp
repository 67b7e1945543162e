#include "core/URLAdditions.h"

#include <gtest/gtest.h>

namespace {

TEST(URLAdditions, ValueForVariable) {
    struct Case {
        const char* url;
        const char* name;
        const char* expected; // nullptr: none
    };
    const Case cases[] = {
        {"quorvel://debug?setVersion=1.0.3", "setVersion", "1.0.3"},
        {"quorvel://debug?a=1&setVersion=x&setVersion=y", "setVersion", "y"},
        {"quorvel://debug?a=1&setVersion=x&setVersion=y", "a", "1"},
        {"quorvel://debug?setVersion=1.0%2E3", "setVersion", "1.0.3"},
        {"quorvel://debug?set%56ersion=2", "setVersion", "2"},
        {"quorvel://debug?setVersion=a+b", "setVersion", "a+b"},
        {"quorvel://debug?setVersion=a=b", "setVersion", "a"},
        {"quorvel://debug?setVersion=", "setVersion", ""},
        {"quorvel://debug?=x&setVersion=1", "", "x"},
        {"quorvel://debug?setVersion", "setVersion", nullptr},
        {"quorvel://debug?setversion=1", "setVersion", nullptr},
        {"quorvel://debug?setVersion=%C3%A9", "setVersion", nullptr},
        {"quorvel://debug?setVersion=1&setVersion=%C3%A9", "setVersion", "1"},
        {"quorvel://debug?", "setVersion", nullptr},
        {"quorvel://debug", "setVersion", nullptr},
        {"quorvel://debug/path?x=1#setVersion=2", "setVersion", nullptr},
    };
    for (const Case& c : cases) {
        const QString value = valueForVariable(QUrl(c.url), c.name);
        if (!c.expected)
            EXPECT_TRUE(value.isNull()) << c.url << " -> " << value.toStdString();
        else
            EXPECT_EQ(value, QString(c.expected)) << c.url;
    }
}

} // namespace
