// The picture and the printed page of an evaluation, made without a screen: the result dialog is
// built offscreen at its default size and saved as "Speichern" and printed as "Ausdrucken" would.
#pragma once

#include <string>

#include "app/CommandLine.h"

// Needs a QApplication. Returns an error text, empty on success.
std::string ExportEvaluation(const kws::app::EvaluationJob& job);
