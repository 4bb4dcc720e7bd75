// What the main dialog tells a user about a recording: its dates in every picker whatever the
// year, and the info text of the six-curve layout in every language.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <string>

#include "app/Language.h"
#include "app/MainDialog.h"
#include "graph/Prompts.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/TestSupport.h"

namespace {

// Six-curve lines from 10:00:00 on the given day, one per second.
QString WriteRecording(const QTemporaryDir& folder, const char* date, int seconds) {
    std::string text = "Kopf\n";
    for (int s = 0; s < seconds; ++s) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s\t10:%02d:%02d", date, s / 60, s % 60);
        text += buf;
        for (int c = 0; c < 13; ++c) text += "\t" + std::to_string(100 + c);
        text += "\n";
    }
    QFile f(folder.filePath("old.txt"));
    f.open(QIODevice::WriteOnly);
    f.write(text.data(), static_cast<qint64>(text.size()));
    return f.fileName();
}

}  // namespace

TEST(MainDialogReadings, ARecordingFromTheYear1001ShowsAndEvaluates) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    QTemporaryDir folder;
    kws::test::ScriptedPrompts prompts;
    SelectResourceLanguage(kws::res::kGerman);
    CKWSekundeDlg dialog(folder.path());
    dialog.show();
    ASSERT_TRUE(dialog.OpenRecordingFile(WriteRecording(folder, "03.02.1001", 120)));
    auto date = [&](int id) { return static_cast<QDateEdit*>(dialog.Control(id))->date(); };
    auto time = [&](int id) { return static_cast<QTimeEdit*>(dialog.Control(id))->time(); };
    // All four pickers show the recording's day.
    for (int id : {1001, 1003, 1005, 1007}) EXPECT_EQ(date(id), QDate(1001, 2, 3)) << id;
    EXPECT_EQ(time(1011), QTime(10, 0, 1));
    EXPECT_EQ(time(1006), QTime(10, 1, 59));
    // The whole recording evaluates without a message.
    int shown = 0;
    QString title;
    prompts.onExec = [&](QDialog& d) {
        ++shown;
        title = d.windowTitle();
        return 0;
    };
    QTest::mouseClick(static_cast<QPushButton*>(dialog.Control(1009)), Qt::LeftButton);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.value(0).toStdString();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dialog.Samples().size(), 119u);
    // Its title names the day of the recording and the window's own last time.
    EXPECT_EQ(title, "Auswertung des Tages 03/02/1001 von 10:00h bis 10:01h Uhr");
    // Reset brings every picker back to the lowest date.
    QTest::mouseClick(static_cast<QPushButton*>(dialog.Control(1010)), Qt::LeftButton);
    for (int id : {1001, 1003, 1005, 1007}) EXPECT_EQ(date(id), QDate(1970, 1, 1)) << id;
}

TEST(MainDialogReadings, SixCurveInfoTextNamesThePumpUnitsRightInEveryLanguage) {
    // The hot-water pump runs in percent, the circulation pump is on or off.
    const std::pair<int, const char*> expected[] = {
        {kws::res::kGerman, " - WW Pumpe (%)\n - Zirkulationspumpe (EIN / AUS)"},
        {kws::res::kEnglish, " - HW pump (%)\n - Circulation pump (ON / OFF)"},
        {kws::res::kSpanish, " - Bomba AC (%)\n - Bomba circulación (ON / OFF)"},
        {kws::res::kFrench, " - Pompe ECS (%)\n - Pompe circulation (MARCHE / ARRÊT)"},
        {kws::res::kItalian, " - Pompa ACS (%)\n - Pompa ricircolo (ON / OFF)"},
        {kws::res::kPortuguese, " - Bomba AQS (%)\n - Bomba circulação (LIG / DESL)"},
    };
    for (const auto& [code, tail] : expected) {
        ASSERT_EQ(kws::res::SelectLanguage(code), code) << kws::res::ModuleName(code);
        const std::string text = kws::res::Format(140);
        ASSERT_GE(text.size(), std::string(tail).size());
        EXPECT_EQ(text.substr(text.size() - std::string(tail).size()), tail) << code;
    }
    kws::res::SelectLanguage(kws::res::kGerman);
}
