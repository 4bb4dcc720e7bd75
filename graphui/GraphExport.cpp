#include "graphui/GraphExport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "fileio/OutputFile.h"
#include "graph/GraphContainer.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/AppIcon.h"
#include "graphui/GraphFrame.h"
#include "graphui/GraphPicture.h"
#include "graphui/OutOfMemory.h"
#include "graphui/ResultDialog.h"
#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "print/Page.h"
#include "res/Resources.h"

using kws::fileio::FileWriteError;

namespace {

// Why writing `path` failed, in the current language.
QString FileProblemText(FileWriteError error, int errnoValue, const QString& path) {
    return QString::fromStdString(
        kws::fileio::FileProblemText(error, errnoValue, path.toStdString()));
}

// A PDF writer does not report failed writes: a full disk or a file-size limit leaves a file cut
// short. A complete document ends with its end-of-file marker. Returns 0 for a complete file,
// otherwise the reason the file is incomplete, found by trying to append to it (the file is
// discarded afterwards).
int IncompletePdfReason(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    int reason = 0;
    if (::fstat(fd, &st) != 0) {
        reason = errno;
    } else {
        char tail[32] = {};
        const off_t length = std::min<off_t>(st.st_size, sizeof tail);
        const ssize_t n = ::pread(fd, tail, static_cast<size_t>(length), st.st_size - length);
        const std::string end(tail, n > 0 ? static_cast<size_t>(n) : 0);
        if (end.find("%%EOF") == std::string::npos) {
            static const char probe[64 * 1024] = {};
            reason = EIO;  // when appending works now, the cause has passed
            for (int i = 0; i < 16; ++i) {
                if (::write(fd, probe, sizeof probe) < 0) {
                    reason = errno;
                    break;
                }
            }
        }
    }
    ::close(fd);
    return reason;
}

// The picture types offered by the save dialog, the first one chosen at first.
QString SaveFilter() {
    return Prompts::FileTypeFilter("PNG", "png") + ";;" + Prompts::FileTypeFilter("JPG", "jpg") +
           ";;" + Prompts::FileTypeFilter("BMP", "bmp");
}

QString Text(int id) { return QString::fromStdString(kws::res::Format(id)); }
QString Text(int id, const QString& argument) {
    return QString::fromStdString(kws::res::Format(id, argument.toUtf8().constData()));
}
QString Text(int id, const QString& first, const QString& second) {
    return QString::fromStdString(
        kws::res::Format(id, first.toUtf8().constData(), second.toUtf8().constData()));
}

QString Caption() { return QString::fromStdString(kws::res::Text(138)); }

constexpr int kPictureWidth = 1280, kPictureHeight = 1024;

FCImagePropertyList DefaultQuality() {
    FCImagePropertyList p;
    p.SetValue(kImagePropertySaveQuality, "-1");
    return p;
}

// Clears the legend's selection and lets the legend redraw its series list (and refresh its point
// list) before the graph is drawn.
void PrepareForDrawing(CNewGraph& dialog) {
    if (CGraphFrame* frame = dialog.Frame()) frame->LegendBar()->SeriesList()->setCurrentRow(-1);
    if (CGraphWnd* graph = dialog.Graph()) graph->Redraw(0);
}

QString SaveReasonText(const ImageSaveStatus& status, const QString& path) {
    switch (status.error) {
        case ImageSaveError::kMissingFolder:
            return FileProblemText(FileWriteError::kMissingFolder, status.errnoValue, path);
        case ImageSaveError::kReadOnlyFolder:
            return FileProblemText(FileWriteError::kReadOnlyFolder, status.errnoValue, path);
        case ImageSaveError::kTargetIsFolder:
            return FileProblemText(FileWriteError::kTargetIsFolder, status.errnoValue, path);
        case ImageSaveError::kWriteFailed:
            return FileProblemText(FileWriteError::kWriteFailed, status.errnoValue, path);
        case ImageSaveError::kUnknownType: return Text(155, QFileInfo(path).fileName());
        case ImageSaveError::kPictureWithoutProperties: return Text(157);
        case ImageSaveError::kOutOfMemory: return OutOfMemoryText();
        default: return Text(156);
    }
}

// The graph drawn as a 24-bit picture of 1280 x 1024 pixels; false without a graph.
bool DrawPicture(CNewGraph& dialog, FCObjImage& image) {
    CGraphFrame* frame = dialog.Frame();
    if (frame == nullptr) return false;
    const QImage picture = GraphPicture(*frame, QSize(kPictureWidth, kPictureHeight))
                               .convertToFormat(QImage::Format_BGR888);
    if (picture.isNull()) throw std::bad_alloc();
    if (!image.CreateBlank(picture.width(), picture.height(), 24)) throw std::bad_alloc();
    for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(image.GetBits(y), picture.constScanLine(y),
                    static_cast<size_t>(picture.width()) * 3);
    }
    return true;
}

// Saves the picture; an encoder out of memory throws.
bool SavePicture(FCObjImage& image, const QString& path, QString* failure) {
    if (image.SaveFile(path.toStdString(), DefaultQuality())) return true;
    const ImageSaveStatus status = LastImageSaveStatus();
    if (status.error == ImageSaveError::kOutOfMemory) throw std::bad_alloc();
    if (failure != nullptr) *failure = Text(151, path, SaveReasonText(status, path));
    return false;
}

// A name given without extension takes the one of the chosen file type; a typed one stays.
QString WithChosenSuffix(const QString& path, const QString& chosenFilter) {
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    const QString suffix = Prompts::FilterSuffix(chosenFilter);
    return path + "." + (suffix.isEmpty() ? QStringLiteral("png") : suffix);
}

// The printer and paper chosen last, kept in the settings for the next print.
constexpr const char* kSettingPrinter = "Print/Printer";
constexpr const char* kSettingPaper = "Print/Paper";

void RestorePrinterChoice(QPrinter& printer) {
    QSettings settings;
    const QString name = settings.value(kSettingPrinter).toString();
    if (!name.isEmpty() && QPrinterInfo::availablePrinterNames().contains(name))
        printer.setPrinterName(name);
    // The paper by its key ("A4", "Letter", ...); an unknown one leaves the printer's own.
    const QString paper = settings.value(kSettingPaper).toString();
    for (int id = 0; !paper.isEmpty() && id <= QPageSize::LastPageSize; ++id) {
        const QPageSize size(static_cast<QPageSize::PageSizeId>(id));
        if (size.isValid() && size.key() == paper) {
            printer.setPageSize(size);
            break;
        }
    }
}

void StorePrinterChoice(const QPrinter& printer) {
    QSettings settings;
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty())
        settings.setValue(kSettingPrinter, printer.printerName());
    const QPageSize size = printer.pageLayout().pageSize();
    if (size.isValid() && size.id() != QPageSize::Custom)
        settings.setValue(kSettingPaper, size.key());
}

}  // namespace

bool SaveTextOutput(const QString& path, const std::function<bool(std::FILE*)>& write,
                    QString* failure) {
    FileWriteError error = FileWriteError::kNone;
    int errnoValue = 0;
    const std::string target = path.toStdString();
    if (kws::fileio::WriteTextOutput(target, write, error, errnoValue)) return true;
    if (failure != nullptr) {
        *failure =
            QString::fromStdString(kws::fileio::FileNotWrittenText(error, errnoValue, target));
    }
    return false;
}

bool SaveGraphImage(CNewGraph& dialog, const QString& path, QString* failure) {
    FCObjImage image;
    if (dialog.Graph() != nullptr) {
        PrepareForDrawing(dialog);
        if (DrawPicture(dialog, image)) return SavePicture(image, path, failure);
    }
    if (failure != nullptr) *failure = Text(151, path, Text(156));
    return false;
}

void OnSaveCommand(CNewGraph& dialog) {
    CGraphWnd* graph = dialog.Graph();
    if (graph == nullptr) return;
    try {
        PrepareForDrawing(dialog);
        QString chosenFilter;
        QString path = Prompts::Get().SaveFile(&dialog, QString(), QStringLiteral("bild00"),
                                               SaveFilter(), "png", &chosenFilter);
        if (path.isEmpty()) return;
        path = WithChosenSuffix(path, chosenFilter);
        QString failure;
        FCObjImage image;
        if (!DrawPicture(dialog, image)) {
            failure = Text(151, path, Text(156));
        } else {
            SavePicture(image, path, &failure);
        }
        if (!failure.isEmpty())
            Prompts::Get().Message(&dialog, failure, Caption(), Prompts::kExclamation);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryMessage(&dialog);
    }
}

PageBox PrintedLegendBox(double row, double pageWidth) {
    constexpr double kLeft = 8.8, kWidth = 3.35, kHeight = 1.45;
    const double scale = std::clamp((pageWidth - kLeft) / kWidth, 0.0, 1.0);
    const double top = row + 3.15;
    return {top, kLeft, top + kHeight * scale, kLeft + kWidth * scale};
}

double PrintedLayoutScale(double pageWidth, double pageHeight, double rowHeight) {
    // The layout is 10.5 inches wide (the plot to 8.5, the legend beside it) and three title
    // rows and the graph's 7 inches high, with a twentieth of an inch to spare.
    const double height = 3 * rowHeight + 7.0 + 0.05;
    return std::min({1.0, pageWidth / 10.5, pageHeight / height});
}

bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer, QString* failure) {
    auto fail = [failure](const QString& reason) {
        if (failure != nullptr) *failure = Text(158, reason);
        return false;
    };
    CGraphFrame* frame = dialog.Frame();
    if (dialog.Graph() == nullptr || frame == nullptr) return fail(Text(156));
    PrepareForDrawing(dialog);
    InstallImageFactory(new FCImageHandleFactory_QtImage());

    // A page printed into a file goes to a temporary file beside it first (a stream: to a
    // spool file whose complete page is then written into it).
    const QString outputName = printer.outputFileName();
    std::optional<kws::fileio::OutputFile> output;
    std::string pagePath;
    if (!outputName.isEmpty()) {
        output.emplace(outputName.toStdString());
        if (output->Open()) pagePath = output->PathForWriter();
        if (pagePath.empty())
            return fail(FileProblemText(output->Error(), output->ErrnoValue(), outputName));
        printer.setOutputFileName(QString::fromStdString(pagePath));
    }
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(AppTitle());
    QPainter painter;
    const bool begun = painter.begin(&printer);
    bool ok = begun;
    if (begun) {
        CPage page(QRect(0, 0, printer.width(), printer.height()), &painter, 1);
        page.SetFont("MS Sans Serif");
        // A blank row gives the height of the title's rows; a small paper draws it all smaller.
        const double rowHeight = page.Print(0.0, 0.0, 0u, 16, "%s", " ");
        page.ScaleLayout(
            PrintedLayoutScale(page.PageWidthInches(), page.PageHeightInches(), rowHeight));
        double row = page.Print(0.0, 0.0, 0u, 16, "%s", " ");
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        page.Print(row, 0.0, 0u, 16, "%s", " ");
        row = page.Print(0.0, 0.0, 0x81u, 16, "%s", dialog.Title().toUtf8().constData());
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        const double r = page.Print(row, 0.0, 0u, 16, "%s", " ");
        // Plot with rulers, and the legend's rows, drawn at the printer's resolution into the
        // boxes a picture would take on the page.
        auto deviceBox = [&page](const PageBox& b) {
            return QRect(QPoint(page.UnitsX(b.left), page.UnitsY(b.top)),
                         QPoint(page.UnitsX(b.right) - 1, page.UnitsY(b.bottom) - 1));
        };
        const QRect graphBox = deviceBox({r, 0.4, r + 7.0, 8.5});
        frame->Container()->DrawPicture(painter, graphBox, page.DpiX(), page.DpiY());
        // The legend under its caption "Legende", from the box's corner to the printable
        // area's right and bottom edges, in type that stays readable on any paper.
        const PageBox box = PrintedLegendBox(r, page.PageWidthInches());
        const QRect legendArea(QPoint(page.UnitsX(box.left), page.UnitsY(box.top)),
                               QPoint(printer.width() - 1, printer.height() - 1));
        DrawPrintedLegend(painter, legendArea, QString::fromStdString(kws::res::Text(134)), *frame);
        ok = painter.end();
        if (!ok) printer.abort();
    }
    if (output) printer.setOutputFileName(outputName);
    if (!ok) return fail(Text(159));
    if (output) {
        if (const int reason = IncompletePdfReason(pagePath))
            return fail(FileProblemText(FileWriteError::kWriteFailed, reason, outputName));
    }
    if (output && !output->Commit())
        return fail(FileProblemText(output->Error(), output->ErrnoValue(), outputName));
    return true;
}

void OnPrintCommand(CNewGraph& dialog) {
    try {
        QPrinter printer(QPrinter::HighResolution);
        RestorePrinterChoice(printer);
        printer.setPageOrientation(QPageLayout::Landscape);
        QPrintDialog setup(&printer, &dialog);
        if (Prompts::Get().Exec(setup) != QDialog::Accepted) return;
        StorePrinterChoice(printer);
        QString failure;
        if (!PrintGraphPage(dialog, printer, &failure))
            Prompts::Get().Message(&dialog, failure, Caption(), Prompts::kExclamation);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryMessage(&dialog);
    }
}

void InstallGraphCommands() {
    CNewGraph::saveCommand = &OnSaveCommand;
    CNewGraph::printCommand = &OnPrintCommand;
}
