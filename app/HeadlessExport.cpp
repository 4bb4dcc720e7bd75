#include "app/HeadlessExport.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>

#include "graphui/GraphExport.h"
#include "graphui/ResultDialog.h"

std::string ExportEvaluation(const kws::app::EvaluationJob& job) {
    CNewGraph dialog(job.layoutFlag, nullptr);
    // The dialog only reads the samples while it lives: share them instead of copying.
    dialog.SetData(std::shared_ptr<const kws::rec::SampleArray>(
        job.samples, [](const kws::rec::SampleArray*) {}));
    if (!dialog.Build()) return "the graph could not be built";
    dialog.show();
    QApplication::processEvents();
    if (!job.imagePath.empty()) {
        const QString path = QString::fromStdString(job.imagePath);
        if (!SaveGraphImage(dialog, path)) {
            return "cannot write the image " + job.imagePath +
                   " (the extension picks the format: png, jpg, bmp, tga, gif, tif, ico)";
        }
    }
    if (!job.pdfPath.empty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(job.pdfPath));
        printer.setPageSize(QPageSize(QPageSize::A4));
        if (!PrintGraphPage(dialog, printer) ||
            !QFileInfo(QString::fromStdString(job.pdfPath)).isFile()) {
            return "cannot write the page " + job.pdfPath;
        }
    }
    dialog.hide();
    return {};
}
