// "Speichern" and "Ausdrucken" of the result dialog: the graph window's pixels as an image file
// of 1280 x 1024, and the title, plot and legend on one landscape page. Failures are reported
// with their reason; running out of memory throws std::bad_alloc to the command's caller.
#pragma once

#include <QString>

#include "image/AtomicFile.h"

class CNewGraph;
class FCObjImage;
class QPrinter;
class QRect;
class QWidget;

// The pixels of `widget` in `rect` as a 24-bit image; false for an empty rectangle or a screen
// of 8 bits per pixel or less. Throws std::bad_alloc when the pixels cannot be had.
bool CaptureWidget(QWidget* widget, const QRect& rect, FCObjImage& image);

// Captures the whole graph window, stretches it to 1280 x 1024 and saves it in the format of
// the path's extension. On failure `failure` gets the message (text 151 with the reason).
bool SaveGraphImage(CNewGraph& dialog, const QString& path, QString* failure = nullptr);

// Why writing `path` failed, in the current language: the folder is missing or write-protected,
// the target is a folder, or the system's own text for the error.
QString FileProblemText(FileWriteError error, int errnoValue, const QString& path);

// Prints title, plot and legend on one landscape page of `printer`; false when the page failed
// (the document is then aborted), with the message in `failure`. A page printed into a file
// replaces an earlier file only when it is complete. The two bitmap files the page is built from
// live in a private temporary folder and are gone afterwards in every case.
bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer, QString* failure = nullptr);

// A box on the printed page, in inches.
struct PageBox {
    double top, left, bottom, right;
};
// The legend's box below the title row `row`: 3.35 x 1.45 inches, 8.8 inches from the left and
// 3.15 below the row; scaled down about its top-left corner when the printable width
// `pageWidth` ends before its right edge.
PageBox PrintedLegendBox(double row, double pageWidth);

// The commands with their dialogs: the save-file dialog, the print setup dialog. Both report a
// failure in a message box.
void OnSaveCommand(CNewGraph& dialog);
void OnPrintCommand(CNewGraph& dialog);

// Wires "Speichern" and "Ausdrucken" of every result dialog to the commands above.
void InstallGraphCommands();
