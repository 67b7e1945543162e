#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

TEST(PropertyList, ValuesSurviveAWriteAndARead) {
    const QVariantMap value{
        {"string", QString("päth ✓ <&>")},
        {"empty", QString("")},
        {"yes", true},
        {"no", false},
        {"integer", qint64(42)},
        {"negative", qint64(-7)},
        {"big", qint64(0x80000A02LL)},
        {"real", 2.5},
        {"data", QByteArray("\x00\x01\xff", 3)},
        {"date", QDateTime(QDate(2011, 3, 4), QTime(5, 6, 7), QTimeZone::utc())},
        {"old date", QDateTime(QDate(1990, 1, 1), QTime(0, 0, 1), QTimeZone::utc())},
        {"array", QVariantList{QString("a"), qint64(1), QVariantList{}, QVariantMap{}}},
        {"nested.key", QVariantMap{{"Open Documents", QVariantList{QString("x.html")}}}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("value.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, value));
    EXPECT_EQ(PropertyList::readFile(path), QVariant(value));
    EXPECT_TRUE(PropertyList::toXml(value).startsWith("<?xml"));
}

TEST(PropertyList, NonPropertyListsReadAsInvalid) {
    const QByteArray cases[] = {"", "plain text", "<?xml version=\"1.0\"?><html/>",
                                "bplist00garbage"};
    for (const QByteArray& data : cases) {
        QString message;
        EXPECT_FALSE(PropertyList::fromData(data, &message).isValid()) << data.toStdString();
        EXPECT_FALSE(message.isEmpty());
    }
    QString message;
    EXPECT_FALSE(PropertyList::readFile("/nonexistent/file.plist", &message).isValid());
    EXPECT_FALSE(message.isEmpty());
}

TEST(PropertyList, FailedWriteKeepsThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantMap{{"a", qint64(1)}}));
    // A folder where the file should go cannot be replaced by the write.
    const QString blocked = dir.filePath("sub");
    ASSERT_TRUE(QDir().mkpath(blocked + "/inner"));
    QString message;
    EXPECT_FALSE(PropertyList::writeFile(blocked, QVariantMap{{"b", qint64(2)}}, &message));
    EXPECT_TRUE(QFileInfo(blocked + "/inner").isDir());
    EXPECT_FALSE(PropertyList::writeFile(dir.filePath("missing/x.plist"), QVariantMap{}));
    EXPECT_EQ(PropertyList::readFile(path), QVariant(QVariantMap{{"a", qint64(1)}}));
}

} // namespace
