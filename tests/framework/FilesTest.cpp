// Removing a file that held secrets: its contents overwritten first, a link removed and never followed.
#include "base/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zendrel;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(WipeAndRemove, OverwritesTheFileItRemovesAndFollowsNoLink) {
    QTemporaryDir dir;
    const QString secret = dir.filePath("report.pdf");
    const QByteArray pages(200000, 'P'); // more than one write's worth
    ASSERT_TRUE(write(secret, pages));
    // A second name of the same file shows what became of its blocks.
    const QString otherName = dir.filePath("other-name");
    ASSERT_EQ(::link(QFile::encodeName(secret).constData(), QFile::encodeName(otherName).constData()), 0);
    EXPECT_TRUE(wipeAndRemove(secret));
    EXPECT_FALSE(QFile::exists(secret));
    EXPECT_EQ(contents(otherName), QByteArray(pages.size(), '\0'));

    // A link: the link goes, what it points to stays as it was.
    const QString target = dir.filePath("target");
    const QString link = dir.filePath("link");
    ASSERT_TRUE(write(target, "kept"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_TRUE(wipeAndRemove(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(target), "kept");

    // Nothing there is nothing to do; a directory is not removed.
    EXPECT_TRUE(wipeAndRemove(dir.filePath("missing")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(wipeAndRemove(dir.filePath("folder")));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
}
