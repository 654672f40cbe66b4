// The window under test with a scripted platform and a recording converter, driven through its
// controls as a user would: what the window's tests share.
#pragma once

#include "app/frmStep1.h"

#include "tests/conversion/FakeMessageReader.h"
#include "tests/conversion/RecordingConverter.h"
#include "tests/platform/ScriptedPlatform.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly::testing {

/// Two messages in the mbox layout, named by their subjects.
inline std::string twoMessages(const std::string &first, const std::string &second)
{
    const auto message = [](const std::string &subject) {
        return "From ann@example.org Mon Jan  2 10:00:00 2023\nFrom: Ann\nSubject: " + subject +
               "\nDate: 2023-01-02\n\nHello.\n\n";
    };
    return message(first) + message(second);
}

class WindowTest : public ::testing::Test
{
protected:
    ScriptedPlatform platform;
    RecordingConverter converter;
    frmStep1 window{platform, borrowConverter(converter), fakeReaderFactory()};
    int processEndings = 0;

    WindowTest()
    {
        window.setEndProcess([this] { ++processEndings; });
    }

    template <typename Widget> Widget *control(const char *name)
    {
        auto *widget = window.findChild<Widget *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton *button(const char *name) { return control<QPushButton>(name); }
    QString labelText(const char *name) { return control<QLabel>(name)->text(); }
    /// Clicks near the left edge, on the indicator or caption, where option buttons and
    /// check boxes take clicks.
    void click(const char *name)
    {
        QAbstractButton *target = control<QAbstractButton>(name);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(6, target->height() / 2));
    }

    std::vector<std::string> gridRows()
    {
        auto *grid = control<QTableWidget>("grdFiles1");
        std::vector<std::string> rows;
        for (int row = 0; row < grid->rowCount(); ++row)
            rows.push_back(grid->item(row, 0) ? grid->item(row, 0)->text().toStdString() : std::string("<none>"));
        return rows;
    }
};

} // namespace tessaly::testing
