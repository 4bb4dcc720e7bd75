#include "graphui/GraphExport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "graph/GraphContainer.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/AppIcon.h"
#include "graphui/GraphFrame.h"
#include "graphui/OutOfMemory.h"
#include "graphui/ResultDialog.h"
#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "print/Page.h"
#include "res/Resources.h"

namespace {

constexpr const char* kSaveFilter = "PNG Files (*.png);;JPG Files (*.jpg);;BMP Files (*.bmp)";

QString Text(int id) { return QString::fromStdString(kws::res::Format(id)); }
QString Text(int id, const QString& argument) {
    return QString::fromStdString(kws::res::Format(id, argument.toUtf8().constData()));
}
QString Text(int id, const QString& first, const QString& second) {
    return QString::fromStdString(
        kws::res::Format(id, first.toUtf8().constData(), second.toUtf8().constData()));
}

QString Caption() { return QString::fromStdString(kws::res::Text(138)); }

FCImagePropertyList DefaultQuality() {
    FCImagePropertyList p;
    p.SetValue(kImagePropertySaveQuality, "-1");
    return p;
}

// Clears the legend's selection and lets the legend redraw its series list (and refresh its point
// list) before the pixels are taken.
void PrepareForCapture(CNewGraph& dialog) {
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

// Resizes the capture to 1280 x 1024 and saves it; an encoder out of memory throws.
bool SaveCapture(FCObjImage& image, const QString& path, QString* failure) {
    image.ResizeNearest(1280, 1024);
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

}  // namespace

QString FileProblemText(FileWriteError error, int errnoValue, const QString& path) {
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    switch (error) {
        case FileWriteError::kMissingFolder: return Text(152, folder);
        case FileWriteError::kReadOnlyFolder: return Text(153, folder);
        case FileWriteError::kTargetIsFolder: return Text(154, QDir::toNativeSeparators(path));
        default: return qt_error_string(errnoValue);
    }
}

bool CaptureWidget(QWidget* widget, const QRect& rect, FCObjImage& image) {
    if (widget == nullptr || rect.isEmpty()) return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->depth() <= 8) return false;
    const QImage pixels = widget->grab(rect).toImage().convertToFormat(QImage::Format_BGR888);
    // A rectangle with pixels gives a null picture only when its memory could not be had.
    if (pixels.isNull()) throw std::bad_alloc();
    if (!image.CreateBlank(pixels.width(), pixels.height(), 24)) return false;
    for (int y = 0; y < pixels.height(); ++y) {
        std::memcpy(image.GetBits(y), pixels.constScanLine(y),
                    static_cast<size_t>(pixels.width()) * 3);
    }
    return true;
}

bool SaveGraphImage(CNewGraph& dialog, const QString& path, QString* failure) {
    CGraphWnd* graph = dialog.Graph();
    FCObjImage image;
    if (graph != nullptr) {
        PrepareForCapture(dialog);
        if (CaptureWidget(graph, graph->rect(), image)) return SaveCapture(image, path, failure);
    }
    if (failure != nullptr) *failure = Text(151, path, Text(156));
    return false;
}

void OnSaveCommand(CNewGraph& dialog) {
    CGraphWnd* graph = dialog.Graph();
    if (graph == nullptr) return;
    try {
        PrepareForCapture(dialog);
        FCObjImage image;
        const bool captured = CaptureWidget(graph, graph->rect(), image);
        QString chosenFilter;
        QString path = Prompts::Get().SaveFile(&dialog, QString(), QStringLiteral("bild00"),
                                               kSaveFilter, "png", &chosenFilter);
        if (path.isEmpty()) return;
        path = WithChosenSuffix(path, chosenFilter);
        QString failure;
        if (!captured) {
            failure = Text(151, path, Text(156));
        } else {
            SaveCapture(image, path, &failure);
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

bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer, QString* failure) {
    auto fail = [failure](const QString& reason) {
        if (failure != nullptr) *failure = Text(158, reason);
        return false;
    };
    CGraphWnd* graph = dialog.Graph();
    CGraphFrame* frame = dialog.Frame();
    if (graph == nullptr || frame == nullptr) return fail(Text(156));
    PrepareForCapture(dialog);
    CGraphContainer* container = graph->Container();
    QWidget* legendClient = frame->LegendBar()->widget();
    const QRect L = legendClient->rect();
    // The plot with its rulers, where it sits in the graph window (less 2 pixels on the left),
    // and the names part of the legend, in the series list's coordinates.
    const QRect plot(container->mapTo(graph, QPoint(2, 0)),
                     QSize(container->width() - 2, container->height()));
    const QRect legend(QPoint(L.left() + 2, L.top()),
                       QPoint(L.left() + L.width() / 3 - 5 - 1, L.top() + L.height() - 10 - 1));

    // The two bitmap files go to a folder of this print alone, never over a user's files.
    QTemporaryDir folder;
    if (!folder.isValid()) return fail(folder.errorString());
    const QString graphFile = folder.filePath("skgraph.bmp"),
                  legendFile = folder.filePath("skleyend.bmp");
    InstallImageFactory(new FCImageHandleFactory_QtImage());
    FCObjImage plotImage, legendImage;
    if (CaptureWidget(graph, plot, plotImage))
        plotImage.SaveFile(graphFile.toStdString(), DefaultQuality());
    if (CaptureWidget(frame->LegendBar()->SeriesList(), legend, legendImage)) {
        legendImage.SaveFile(legendFile.toStdString(), DefaultQuality());
    }

    // A page printed into a file goes to a temporary file beside it first.
    const QString outputName = printer.outputFileName();
    std::optional<AtomicFile> output;
    if (!outputName.isEmpty()) {
        output.emplace(outputName.toStdString());
        if (!output->Open())
            return fail(FileProblemText(output->Error(), output->ErrnoValue(), outputName));
        printer.setOutputFileName(QString::fromStdString(output->TemporaryPath()));
    }
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(AppTitle());
    QPainter painter;
    const bool begun = painter.begin(&printer);
    bool ok = begun;
    if (begun) {
        CPage page(QRect(0, 0, printer.width(), printer.height()), &painter, 1);
        page.SetFont("MS Sans Serif");
        double row = page.Print(0.0, 0.0, 0u, 16, "%s", " ");
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        page.Print(row, 0.0, 0u, 16, "%s", " ");
        row = page.Print(0.0, 0.0, 0x81u, 16, "%s", dialog.Title().toUtf8().constData());
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        const double r = page.Print(row, 0.0, 0u, 16, "%s", " ");
        page.PrintBitmapFile(r, 0.4, r + 7.0, 8.5, graphFile.toUtf8().constData());
        const PageBox box = PrintedLegendBox(r, page.PageWidthInches());
        page.PrintBitmapFile(box.top, box.left, box.bottom, box.right,
                             legendFile.toUtf8().constData());
        page.Print(box.bottom + 0.05, 7.85, 0x81u, 12, "%s", kws::res::Text(134).c_str());
        ok = painter.end();
        if (!ok) printer.abort();
    }
    if (output) printer.setOutputFileName(outputName);
    if (!ok) return fail(Text(159));
    if (output && !output->Commit())
        return fail(FileProblemText(output->Error(), output->ErrnoValue(), outputName));
    return true;
}

void OnPrintCommand(CNewGraph& dialog) {
    try {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Landscape);
        QPrintDialog setup(&printer, &dialog);
        if (Prompts::Get().Exec(setup) != QDialog::Accepted) return;
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
