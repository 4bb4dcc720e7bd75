#include <gtest/gtest.h>

#include "res/Resources.h"

using namespace kws::res;

TEST(Resources, GermanTextsAndFormatting) {
    SelectLanguage(kGerman);
    EXPECT_EQ(Text(138), "Calora Control Auswerter");
    EXPECT_EQ(Format(128), "Drehzahl (%)");
    EXPECT_EQ(Format(108, "a.txt", 2u), "Es war nicht möglich, Datei a.txt zu öffnen, error = 2\n");
    EXPECT_EQ(Format(139).find("%%"), std::string::npos);
    EXPECT_EQ(Text(104), "");  // an id the table does not hold
    EXPECT_EQ(Text("D102.caption"), "Calora Control Dateiauswerter - Sekundentakt");
    EXPECT_EQ(FormatText("%s %d %%", "x", 5), "x 5 %");
    const std::string longText(5000, 'y');
    EXPECT_EQ(FormatText("%s", longText.c_str()), longText);
}

TEST(Resources, LanguageCodesAndMissingModules) {
    EXPECT_EQ(ModuleName(kEnglish), "SubDLL");
    EXPECT_EQ(ModuleName(kSpanish), "SubESP");
    EXPECT_EQ(ModuleName(kFrench), "SubFR");
    EXPECT_EQ(ModuleName(kItalian), "SubITA");
    EXPECT_EQ(ModuleName(kPortuguese), "SubPT");
    EXPECT_EQ(ModuleName(kGerman), "");
    EXPECT_EQ(ModuleName(7), "");
    // No modules in this folder: every language falls back to German without complaint.
    const std::string saved = ModuleDirectory();
    SetModuleDirectory("/nonexistent");
    EXPECT_EQ(SelectLanguage(kFrench), kGerman);
    EXPECT_EQ(Text(134), "Legende");
    EXPECT_EQ(SelectLanguage(7), kGerman);
    SetModuleDirectory(saved);
}
