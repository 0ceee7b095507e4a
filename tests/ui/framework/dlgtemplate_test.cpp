#include "ui/framework/dlgtemplate.h"

#include <gtest/gtest.h>
#include <QDir>

#include "res/resources.h"

namespace {

TEST(DialogTemplate, ParsesHeaderControlsAndFlags) {
    QString error;
    auto dlg = ParseDialogTemplate(
        QStringLiteral("# comment\n"
                       "DIALOG 130 157 90\n"
                       "CAPTION \"say \\\"hi\\\" \\\\ 输入\"\n"
                       "FONT 9 \"Courier\"\n"
                       "STYLE POPUP CAPTION VISIBLE\n"
                       "CONTROL 1045 EDITTEXT \"\" 60 24 68 14 PASSWORD BORDER\n"
                       "CONTROL 65535 LTEXT \"a\" 1 2 3 4\n"
                       "CONTROL 65535 LTEXT \"b\" 1 2 3 4\n"),
        &error);
    ASSERT_TRUE(dlg) << error.toStdString();
    EXPECT_EQ(dlg->id, 130);
    EXPECT_EQ(dlg->size, QSize(157, 90));
    EXPECT_EQ(dlg->caption, QStringLiteral("say \"hi\" \\ 输入"));
    EXPECT_EQ(dlg->fontName, QStringLiteral("Courier"));
    EXPECT_EQ(dlg->fontPoints, 9);
    EXPECT_EQ(dlg->style, DS_POPUP | DS_CAPTION | DS_VISIBLE);
    ASSERT_EQ(dlg->controls.size(), 3u);
    EXPECT_EQ(dlg->controls[0].kind, ControlKind::EditText);
    EXPECT_EQ(dlg->controls[0].rect, QRect(60, 24, 68, 14));
    EXPECT_EQ(dlg->controls[0].flags, CF_PASSWORD | CF_BORDER);
}

struct BadTemplate {
    const char* source;
    const char* error;
};

// Keeps the discovered test names stable (no addresses in them).
void PrintTo(const BadTemplate& t, std::ostream* os) {
    *os << '"' << t.error << '"';
}

class DialogTemplateErrors : public ::testing::TestWithParam<BadTemplate> {};

TEST_P(DialogTemplateErrors, NameTheLineAndTheFault) {
    QString error;
    EXPECT_FALSE(ParseDialogTemplate(QString::fromUtf8(GetParam().source), &error));
    EXPECT_EQ(error.toStdString(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogTemplateErrors,
    ::testing::Values(BadTemplate{"", "no DIALOG line"},
                      BadTemplate{"CAPTION \"x\"", "line 1: DIALOG line must come first"},
                      BadTemplate{"DIALOG 1 10", "line 1: DIALOG needs id, width and height"},
                      BadTemplate{"DIALOG 1 10 0", "line 1: DIALOG needs id, width and height"},
                      BadTemplate{"DIALOG 1 10 10\nDIALOG 2 10 10", "line 2: second DIALOG line"},
                      BadTemplate{"DIALOG 1 10 10\nCAPTION \"x", "line 2: unterminated text"},
                      BadTemplate{"DIALOG 1 10 10\nCAPTION \"\\n\"", "line 2: bad escape in text"},
                      BadTemplate{"DIALOG 1 10 10\nCAPTION x", "line 2: CAPTION needs one text"},
                      BadTemplate{"DIALOG 1 10 10\nSTYLE POPUP BOLD", "line 2: unknown style BOLD"},
                      BadTemplate{"DIALOG 1 10 10\nFONT x \"a\"",
                                  "line 2: FONT needs a size and a name"},
                      BadTemplate{"DIALOG 1 10 10\nCONTROL 5 LTEXT \"a\" 1 2 3",
                                  "line 2: CONTROL needs id, kind, text, x, y, width, height"},
                      BadTemplate{"DIALOG 1 10 10\nCONTROL 5 SLIDER \"a\" 1 2 3 4",
                                  "line 2: unknown control kind SLIDER"},
                      BadTemplate{"DIALOG 1 10 10\nCONTROL 5 LTEXT \"a\" 1 2 -3 4",
                                  "line 2: negative control size"},
                      BadTemplate{"DIALOG 1 10 10\nCONTROL 5 LTEXT \"a\" 1 2 3 4 SHINY",
                                  "line 2: unknown flag SHINY"},
                      BadTemplate{"DIALOG 1 10 10\nCONTROL 5 LTEXT \"a\" 1 2 3 4\n"
                                  "CONTROL 5 LTEXT \"b\" 1 2 3 4",
                                  "line 3: duplicate control id 5"},
                      BadTemplate{"DIALOG 1 10 10\nWINDOW", "line 2: unknown keyword WINDOW"}));

// The templates are data that the windows trust blindly, so every one of
// them must load and hold the controls the windows look up.
struct ShippedTemplate {
    int id;
    QSize size;
    std::vector<int> controls;
};

TEST(DialogTemplate, ShippedTemplatesLoadWithTheirControls) {
    const ShippedTemplate table[] = {
        {100, {170, 62}, {128, 65535, 1}},
        {129, {185, 165}, {1042, 1043, 1062, 1063}},
        {130, {157, 90}, {1, 2, 1067, 1045}},
        {133, {143, 85}, {1, 2, 1057}},
        {138, {173, 99}, {1058}},
    };
    for (const ShippedTemplate& t : table) {
        QString error;
        auto dlg = LoadDialogTemplate(t.id, &error);
        ASSERT_TRUE(dlg) << t.id << ": " << error.toStdString();
        EXPECT_EQ(dlg->size, t.size) << t.id;
        std::vector<int> ids;
        for (const ControlTemplate& c : dlg->controls) ids.push_back(c.id);
        EXPECT_EQ(ids, t.controls) << t.id;
    }
}

TEST(DialogTemplate, EveryTemplateAmongTheResourcesParses) {
    corvexa::res::FindResource(QStringLiteral("DIALOG"), 0);  // registers the resources
    const QStringList names = QDir(QStringLiteral(":/corvexa/DIALOG")).entryList();
    EXPECT_GE(names.size(), 5);
    for (const QString& name : names) {
        QString error;
        EXPECT_TRUE(LoadDialogTemplate(name.toInt(), &error)) << error.toStdString();
    }
}

TEST(DialogTemplate, MissingTemplateIsReported) {
    QString error;
    EXPECT_FALSE(LoadDialogTemplate(4711, &error));
    EXPECT_EQ(error, QStringLiteral("no dialog template 4711"));
}

TEST(Resources, TypeIsComparedWithoutCase) {
    auto upper = corvexa::res::FindResource(QStringLiteral("GIF"), 137);
    auto mixed = corvexa::res::FindResource(QStringLiteral("Gif"), 137);
    ASSERT_TRUE(upper);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(*upper, *mixed);
    EXPECT_EQ(upper->size(), 4150);
    EXPECT_TRUE(upper->startsWith("BM"));
    EXPECT_FALSE(corvexa::res::FindResource(QStringLiteral("GIF"), 138));
    EXPECT_FALSE(corvexa::res::FindResource(QStringLiteral("../GIF"), 137));
    for (int n : {131, 132})
        EXPECT_TRUE(corvexa::res::FindResource(QStringLiteral("bitmap"), n)) << n;
    EXPECT_TRUE(corvexa::res::FindResource(QStringLiteral("Icon"), 128));
}

}  // namespace
