// Finding the manual whether the program is installed or run from its build folder.
#include "UserManual.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(UserManual, InstalledCopyBesideTheProgramWinsOverTheSourceTree)
{
    testing::TempTree tree;
    tree.file("share/tessaly/manual.html");
    tree.folder("bin");
    const QString bin = QString::fromStdString(tree.path("bin"));

    const QString found = findUserManual(userManualCandidates(bin));
    EXPECT_EQ(found.toStdString(), tree.path("share/tessaly/manual.html"));
}

TEST(UserManual, ABuildFolderFindsTheSourceTreeCopy)
{
    testing::TempTree tree;
    const QString found = findUserManual(userManualCandidates(QString::fromStdString(tree.path("bin"))));
    EXPECT_TRUE(found.endsWith(QStringLiteral("docs/manual.html")));
    EXPECT_EQ(findUserManual({QStringLiteral("/no/such/manual.html")}), QString());
}

} // namespace
} // namespace tessaly
