// The main path of the program, driven through its dialogs with scripted prompts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include <sys/stat.h>

#include <functional>

#include "app/Language.h"
#include "app/MainDialog.h"
#include "bench/RecordingGenerator.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/Following.h"
#include "graphui/ResultDialog.h"
#include "recording/HugePageAllocator.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/TestSupport.h"

using kws::test::ScriptedPrompts;

namespace {

struct MainFixture {
    kws::test::ScopedTimeZone zone{"Europe/Berlin"};
    QTemporaryDir folder;
    ScriptedPrompts prompts;
    std::unique_ptr<CKWSekundeDlg> dialog;

    MainFixture() {
        SelectResourceLanguage(kws::res::kGerman);
        dialog = std::make_unique<CKWSekundeDlg>(folder.path());
        dialog->show();
    }
    QString Recording(int layout, int64_t seconds, int gaps = 1, const QString& name = "rec.txt") {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = seconds;
        o.gaps = gaps;
        o.startTime = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
        const std::string text = kws::bench::GenerateRecording(o);
        QFile f(folder.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(text.data(), static_cast<qint64>(text.size()));
        return f.fileName();
    }
    QDateEdit* Date(int id) { return static_cast<QDateEdit*>(dialog->Control(id)); }
    QTimeEdit* Time(int id) { return static_cast<QTimeEdit*>(dialog->Control(id)); }
    QPushButton* Button(int id) { return static_cast<QPushButton*>(dialog->Control(id)); }
};

}  // namespace

TEST(MainDialog, StartsEmptyOpensARecordingAndResets) {
    MainFixture f;
    EXPECT_FALSE(f.Button(1009)->isEnabled());
    EXPECT_EQ(f.Date(1003)->date(), QDate(1970, 1, 1));
    EXPECT_EQ(f.Date(1001)->displayFormat(), "dd/MM/yyyy");
    EXPECT_TRUE(f.dialog->InfoText().startsWith("Auswertungstool für"));
    EXPECT_TRUE(f.dialog->InfoAlignment() & Qt::AlignHCenter);

    f.prompts.fileToOpen = f.Recording(0, 3 * 3600);
    QTest::mouseClick(f.Button(1000), Qt::LeftButton);
    EXPECT_TRUE(f.Button(1009)->isEnabled());
    EXPECT_FALSE(f.Date(1001)->isEnabled());
    EXPECT_EQ(f.Date(1001)->date(), QDate(2008, 6, 3));
    EXPECT_EQ(f.Time(1011)->time(), QTime(10, 0, 1));
    EXPECT_EQ(f.Time(1004)->time(), QTime(10, 0, 1));
    EXPECT_EQ(f.Time(1008)->time(), QTime(12, 59, 59));
    EXPECT_EQ(f.dialog->LayoutFlag(), 0);
    EXPECT_TRUE(f.dialog->InfoText().contains("WW Pumpe (%)\n - Zirkulationspumpe (EIN / AUS)"));
    EXPECT_TRUE(f.dialog->InfoAlignment() & Qt::AlignLeft);
    // The chosen dates stay inside the recording.
    EXPECT_EQ(f.Date(1003)->minimumDate(), QDate(2008, 6, 3));
    EXPECT_EQ(f.Date(1007)->maximumDate(), QDate(2008, 6, 3));

    // Cancelling the file dialog keeps everything.
    f.prompts.fileToOpen.clear();
    QTest::mouseClick(f.Button(1000), Qt::LeftButton);
    EXPECT_TRUE(f.Button(1009)->isEnabled());

    QTest::mouseClick(f.Button(1010), Qt::LeftButton);
    EXPECT_FALSE(f.Button(1009)->isEnabled());
    EXPECT_EQ(f.dialog->LayoutFlag(), 0);  // kept
    EXPECT_EQ(f.Date(1001)->date(), QDate(1970, 1, 1));
    EXPECT_FALSE(f.dialog->Recording().IsOpen());
}

TEST(MainDialog, FilesThatAreNotRecordingsShowTheirMessages) {
    MainFixture f;
    f.prompts.fileToOpen = f.folder.filePath("missing.txt");
    QTest::mouseClick(f.Button(1000), Qt::LeftButton);
    ASSERT_EQ(f.prompts.messages.size(), 1);
    EXPECT_EQ(f.prompts.messages[0],
              "Es war nicht möglich, Datei missing.txt zu öffnen, error = 2\n");
    QFile csv(f.folder.filePath("list.csv"));
    csv.open(QIODevice::WriteOnly);
    csv.write("a,b\n1,2\n");
    csv.close();
    f.prompts.fileToOpen = csv.fileName();
    QTest::mouseClick(f.Button(1000), Qt::LeftButton);
    EXPECT_EQ(f.prompts.messages[1],
              "Die Datei 'list.csv' ist keine korrekte TXT-Aufzeichnung der CaloraControl2");
    EXPECT_EQ(f.prompts.captions[1], "Calora Control Auswerter");
    EXPECT_FALSE(f.Button(1009)->isEnabled());
}

TEST(MainDialog, EvaluatesIntoTheResultDialogAndChecksTheWindow) {
    MainFixture f;
    ASSERT_TRUE(f.dialog->OpenRecordingFile(f.Recording(1, 3600, 0)));
    // A time before the recording's start on its first day: message 105.
    f.Time(1004)->setTime(QTime(9, 0, 0));
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    ASSERT_EQ(f.prompts.messages.size(), 1);
    EXPECT_TRUE(f.prompts.messages[0].startsWith("Das eingegebene Datum ist falsch."));
    // End before start: message 106.
    f.Time(1004)->setTime(QTime(10, 30, 0));
    f.Time(1008)->setTime(QTime(10, 20, 0));
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    EXPECT_TRUE(f.prompts.messages[1].startsWith("Das Enddatum ist kleiner als das Anfangdatum."));
    // A proper window: the result dialog shows three curves of it.
    f.Time(1008)->setTime(QTime(10, 40, 0));
    int evaluated = 0;
    f.prompts.onExec = [&](QDialog& d) {
        auto* result = dynamic_cast<CNewGraph*>(&d);
        EXPECT_NE(result, nullptr);
        if (result == nullptr) return 0;
        EXPECT_EQ(result->Graph()->GetSeriesCount(), 3);
        EXPECT_EQ(result->Graph()->GetSeries(2)->GetTitle(), "Durchfluss (l / min)");
        EXPECT_EQ(result->Title(), "Auswertung des Tages 03/06/2008 von 10:30h bis 10:40h Uhr");
        ++evaluated;
        return 0;
    };
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(f.dialog->Samples().size(), 601u);
    EXPECT_FALSE(f.dialog->isMinimized());
}

TEST(MainDialog, FollowsARecordingAndShowsItsNewEnd) {
    MainFixture f;
    // Ten minutes in the file, one more appended while the result dialog follows it.
    kws::bench::GeneratorOptions o;
    o.layoutFlag = 0;
    o.seconds = 660;
    o.gaps = 0;
    o.startTime = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
    const std::string text = kws::bench::GenerateRecording(o);
    size_t cut = 0;
    for (int line = 0; line < 2 + 600; ++line) cut = text.find('\n', cut) + 1;
    const QString path = f.folder.filePath("growing.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(cut));
    file.close();
    int shown = 0;
    f.prompts.onExec = [&](QDialog& d) {
        auto* result = dynamic_cast<CNewGraph*>(&d);
        if (result == nullptr) return 0;
        QApplication::processEvents();  // following starts once the dialog runs
        EXPECT_TRUE(result->Following());
        const size_t before = result->Samples().size();
        EXPECT_TRUE(file.open(QIODevice::Append));
        file.write(text.data() + cut, static_cast<qint64>(text.size() - cut));
        file.close();
        result->Follower()->Check();
        EXPECT_EQ(result->Samples().size(), before + 60);
        EXPECT_EQ(result->Title(), "Auswertung des Tages 03/06/2008 von 10:00h bis 10:10h Uhr");
        ++shown;
        return 0;
    };
    f.dialog->FollowRecordingFile(path);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(f.Time(1006)->time(), QTime(10, 10, 59));
    EXPECT_EQ(f.Time(1008)->time(), QTime(10, 10, 59));
}

TEST(MainDialog, SwitchesLanguageAndStoresTheChoice) {
    MainFixture f;
    ASSERT_TRUE(f.dialog->OpenRecordingFile(f.Recording(0, 600)));
    const QString ini = f.dialog->SettingsPath();
    // French: the button 1035.
    f.prompts.onExec = [](QDialog& d) {
        QTest::mouseClick(d.findChild<QPushButton*>("1035"), Qt::LeftButton);
        return d.result();
    };
    QTest::mouseClick(f.Button(1014), Qt::LeftButton);
    ASSERT_EQ(kws::res::CurrentLanguage(), kws::res::kFrench) << "language module SubFR not found";
    EXPECT_EQ(static_cast<QGroupBox*>(f.dialog->Control(1012))->title(), "Date de début");
    EXPECT_EQ(f.Button(1000)->text(), "Lire le fichier");
    EXPECT_EQ(f.Button(1010)->text(), "Reset");  // keeps its text
    EXPECT_TRUE(f.dialog->InfoText().startsWith("Les données suivantes"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "3");
    file.close();
    // Escape in the language dialog means German, and deletes the file.
    f.prompts.onExec = [](QDialog& d) {
        QTest::keyClick(&d, Qt::Key_Escape);
        return d.result();
    };
    QTest::mouseClick(f.Button(1014), Qt::LeftButton);
    EXPECT_EQ(kws::res::CurrentLanguage(), kws::res::kGerman);
    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_EQ(f.Button(1009)->text(), "Datei\nauswerten");
    EXPECT_TRUE(f.dialog->InfoText().startsWith("Folgende Daten"));
}

TEST(MainDialog, AReadOnlyWorkingFolderStillSwitchesTheLanguage) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    ScriptedPrompts prompts;
    CKWSekundeDlg dialog("/proc/kws-no-such-folder");
    prompts.onExec = [](QDialog& d) {
        QTest::mouseClick(d.findChild<QPushButton*>("1036"), Qt::LeftButton);
        return d.result();
    };
    dialog.OnLanguage();
    EXPECT_EQ(kws::res::CurrentLanguage(), kws::res::kItalian);
    SelectResourceLanguage(kws::res::kGerman);
}

TEST(LanguageModules, EveryModuleHoldsEveryTextWithTheSameFormats) {
    // The printf conversions of each entry, in order: a translation must keep them.
    auto conversions = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '%') {
                out += text[i + 1];
                ++i;
            }
        }
        return out;
    };
    std::vector<std::string> keys;
    for (int id = 101; id <= 159; ++id) keys.push_back(std::to_string(id));
    for (const char* k :
         {"D100.caption", "D102.1000", "D102.1009", "D129.1003", "D131.1037", "M.int_range",
          "F.follow", "F.shortened", "F.replaced", "F.deleted", "F.unreadable", "F.changed"})
        keys.push_back(k);
    kws::res::SelectLanguage(kws::res::kGerman);
    std::map<std::string, std::string> german;
    for (const auto& k : keys) german[k] = kws::res::Text(k);
    for (int code : {0, 1, 3, 4, 5}) {
        ASSERT_EQ(kws::res::SelectLanguage(code), code) << kws::res::ModuleName(code);
        for (const auto& k : keys) {
            const std::string text = kws::res::Text(k);
            EXPECT_EQ(text.empty(), german[k].empty()) << code << " " << k;
            EXPECT_EQ(conversions(text), conversions(german[k])) << code << " " << k;
            if (!german[k].empty() && k != "121" && k != "D102.1014" && k != "135") {
                EXPECT_NE(text, german[k]) << "untranslated: " << code << " " << k;
            }
        }
    }
    kws::res::SelectLanguage(kws::res::kGerman);
}

TEST(LanguageFile, CodesAndBrokenFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath("spra.ini");
    EXPECT_EQ(ReadLanguageCode(path), -1);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("3\n");
    f.close();
    EXPECT_EQ(ReadLanguageCode(path), 3);
    f.open(QIODevice::WriteOnly);
    f.write("abc");
    f.close();
    EXPECT_EQ(ReadLanguageCode(path), 0);  // no digits: English
    EXPECT_EQ(SelectResourceLanguage(7), kws::res::kGerman);
    EXPECT_EQ(StoreLanguageCode(path, 4), "");
    EXPECT_EQ(ReadLanguageCode(path), 4);
    EXPECT_EQ(StoreLanguageCode(path, 2), "");
    EXPECT_FALSE(QFile::exists(path));
}

namespace {
bool FailEveryAllocation(size_t) { return true; }
}  // namespace

TEST(MainDialog, RunningOutOfMemoryLeavesTheDialogAsItWas) {
    MainFixture f;
    ASSERT_TRUE(f.dialog->OpenRecordingFile(f.Recording(1, 3600, 0)));
    f.Time(1004)->setTime(QTime(10, 10, 0));
    int shown = 0;
    f.prompts.onExec = [&](QDialog&) {
        ++shown;
        return 0;
    };
    auto expectUsable = [&](const char* where) {
        ASSERT_EQ(f.prompts.messages.size(), 1) << where;
        EXPECT_EQ(f.prompts.messages[0],
                  "Nicht genügend Arbeitsspeicher. Der Vorgang wurde "
                  "abgebrochen.");
        EXPECT_EQ(f.prompts.captions[0], "Calora Control Auswerter");
        EXPECT_EQ(shown, 0) << where;
        EXPECT_TRUE(f.dialog->isEnabled()) << where;
        EXPECT_FALSE(f.dialog->isMinimized()) << where;
        EXPECT_TRUE(f.Button(1009)->isEnabled()) << where;
        EXPECT_TRUE(f.dialog->Recording().IsOpen()) << where;
        EXPECT_EQ(f.Time(1004)->time(), QTime(10, 10, 0)) << where;
        EXPECT_TRUE(f.dialog->Samples().empty()) << where;
        f.prompts.messages.clear();
        f.prompts.captions.clear();
    };
    // In the evaluation.
    kws::rec::SetAllocationFailureHook(&FailEveryAllocation);
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    kws::rec::SetAllocationFailureHook(nullptr);
    expectUsable("evaluation");
    // In the graph build: memory runs out once the samples are there.
    auto connection = QObject::connect(f.dialog.get(), &CKWSekundeDlg::resultDialogOpening, [] {
        kws::rec::SetAllocationFailureHook(&FailEveryAllocation);
    });
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    kws::rec::SetAllocationFailureHook(nullptr);
    QObject::disconnect(connection);
    expectUsable("build");
    // With memory again the same evaluation opens the result dialog.
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(f.prompts.messages.isEmpty());
    EXPECT_EQ(f.dialog->Samples().size(), 3000u);
}

TEST(MainDialog, TakesNoInputWhileTheCurvesAreBuilt) {
    MainFixture f;
    ASSERT_TRUE(f.dialog->OpenRecordingFile(f.Recording(1, 86400, 0)));
    bool fired = false, enabledDuringBuild = true;
    // Once the build pumps events: look at the dialog and press "Reset".
    QObject::connect(f.dialog.get(), &CKWSekundeDlg::resultDialogOpening, [&] {
        QTimer::singleShot(0, [&] {
            fired = true;
            enabledDuringBuild = f.dialog->isEnabled();
            QTest::mouseClick(f.Button(1010), Qt::LeftButton);
        });
    });
    int shown = 0;
    f.prompts.onExec = [&](QDialog&) {
        ++shown;
        return 0;
    };
    QTest::mouseClick(f.Button(1009), Qt::LeftButton);
    ASSERT_TRUE(fired) << "the build let no events run";
    EXPECT_FALSE(enabledDuringBuild);
    EXPECT_EQ(shown, 1);
    // "Reset" was not taken: the recording is still open.
    EXPECT_TRUE(f.dialog->Recording().IsOpen());
    EXPECT_TRUE(f.Button(1009)->isEnabled());
    EXPECT_TRUE(f.dialog->isEnabled());
}

TEST(MainDialog, DevicesAndPipesAreRefusedWithMessage108) {
    MainFixture f;
    const QString fifo = f.folder.filePath("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
    EXPECT_FALSE(f.dialog->OpenRecordingFile(fifo));
    EXPECT_FALSE(f.dialog->OpenRecordingFile("/dev/zero"));
    ASSERT_EQ(f.prompts.messages.size(), 2);
    EXPECT_EQ(f.prompts.messages[0], "Es war nicht möglich, Datei pipe.txt zu öffnen, error = 6\n");
    EXPECT_EQ(f.prompts.messages[1], "Es war nicht möglich, Datei zero zu öffnen, error = 6\n");
    EXPECT_EQ(f.prompts.captions[0], "KW_bew_sekunde");
    EXPECT_FALSE(f.Button(1009)->isEnabled());
}
