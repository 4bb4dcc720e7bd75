#include "graph/Prompts.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "res/Resources.h"

namespace {
// The name of a list of files of one type ("%1-Dateien").
constexpr const char* kTextFileType = "G.files";
}  // namespace

void Prompts::Message(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
        case kInformation: box.setIcon(QMessageBox::Information); break;
        case kExclamation: box.setIcon(QMessageBox::Warning); break;
        case kCritical: box.setIcon(QMessageBox::Critical); break;
        case kNoIcon: break;
    }
    box.exec();
}

QString Prompts::OpenFile(QWidget* parent, const QString& caption, const QString& directory,
                          const QString& filter) {
    // A name may be typed that does not exist: opening it then tells the user so.
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("txt");
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString Prompts::SaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                          const QString& filter, const QString& defaultSuffix,
                          QString* selectedFilter) {
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // A name typed without extension takes the one of the chosen file type, not always the
    // first type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        const QString suffix = FilterSuffix(f);
        if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    });
    dialog.selectFile(suggested);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted) return QString();
    if (selectedFilter != nullptr) *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().value(0);
}

QString Prompts::FilterSuffix(const QString& filter) {
    const int star = filter.indexOf(QStringLiteral("*."));
    if (star < 0) return QString();
    QString suffix;
    for (int i = star + 2; i < filter.size(); ++i) {
        const QChar c = filter[i];
        if (!c.isLetterOrNumber()) break;
        suffix += c;
    }
    return suffix;
}

QString Prompts::FileTypeFilter(const QString& type, const QString& suffix) {
    return QString::fromStdString(kws::res::Text(kTextFileType)).arg(type) +
           QStringLiteral(" (*.%1)").arg(suffix);
}

std::optional<QColor> Prompts::ChooseColor(QWidget* parent, const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
}

int Prompts::Exec(QDialog& dialog) { return dialog.exec(); }

namespace {
Prompts* g_current = nullptr;
}

Prompts& Prompts::Get() {
    static Prompts real;
    return g_current != nullptr ? *g_current : real;
}

void Prompts::Set(Prompts* prompts) { g_current = prompts; }
