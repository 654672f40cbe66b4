// Finding the manual whether the program is installed or run from its build folder.
#include "app/UserManual.h"
#include "tests/TestSupport/TempFolder.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(UserManual, InstalledCopyBesideTheProgramWinsOverTheSourceTree)
{
    testing::TempFolder tree;
    tree.write("share/tessaly/manual.html", "From x\n");
    tree.folder("bin");
    const QString bin = QString::fromStdString(tree.file("bin"));

    const QString found = findUserManual(userManualCandidates(bin));
    EXPECT_EQ(found.toStdString(), tree.file("share/tessaly/manual.html"));
}

TEST(UserManual, ABuildFolderFindsTheSourceTreeCopy)
{
    testing::TempFolder tree;
    const QString found = findUserManual(userManualCandidates(QString::fromStdString(tree.file("bin"))));
    EXPECT_TRUE(found.endsWith(QStringLiteral("docs/manual.html")));
    EXPECT_EQ(findUserManual({QStringLiteral("/no/such/manual.html")}), QString());
}

} // namespace
} // namespace tessaly
