#include "app/Language.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

#include "res/Resources.h"

namespace {

std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

// Qt's own texts (file dialog, print dialog, colour dialog, standard buttons) in the language.
void LoadQtTranslations(const QString& tag) {
    if (QCoreApplication::instance() == nullptr) return;
    auto& current = QtTranslator();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    if (tag == "en") return;  // Qt speaks English by itself
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    bool loaded = translator->load("qtbase_" + tag, dir);
    if (!loaded) {
        // A regional variant when the plain language has none (Portuguese: pt_BR).
        const QStringList variants = QDir(dir).entryList({"qtbase_" + tag + "_*.qm"});
        if (!variants.isEmpty()) loaded = translator->load(variants.first(), dir);
    }
    if (!loaded) return;
    QCoreApplication::installTranslator(translator.get());
    current = std::move(translator);
}

}  // namespace

int SelectResourceLanguage(int code) {
    const int language = kws::res::SelectLanguage(code);
    LoadQtTranslations(QString::fromStdString(kws::res::CurrentLanguageTag()));
    return language;
}

QString LanguageFilePath(const QString& folder) { return folder + "/spra.ini"; }

int ReadLanguageCode(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = file.readLine(64);
    int code = 0;
    for (char c : line) {
        if (c < '0' || c > '9' || code > 100000) break;
        code = code * 10 + (c - '0');
    }
    return code;
}

QString StoreLanguageCode(const QString& path, int code) {
    QFile file(path);
    // Create or empty it; when that fails, write over the existing file without emptying it.
    bool open = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!open) open = file.open(QIODevice::ReadWrite);
    if (code == kws::res::kGerman) {
        if (open) file.close();
        if (QFile::exists(path) && !QFile::remove(path)) return file.errorString();
        return {};
    }
    if (!open) return {};
    file.seek(0);
    file.write(QByteArray::number(code));
    file.close();
    return {};
}
