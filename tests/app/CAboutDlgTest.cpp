// The About box and the program's icons: what the box shows, that it closes, and that both icons
// carry their two images.

#include "app/CAboutDlg.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <functional>
#include <ostream>

#include "resources/Icons.h"
#include "support/ModalDriver.h"

namespace drel {
namespace {

using test::Click;
using test::PressKey;
using test::RunModal;

QStringList LabelTexts(QWidget* window) {
    QStringList texts;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

TEST(CAboutDlg, ShowsTheNameWithVersionCopyrightAuthorAndTheApplicationIcon) {
    CAboutDlg dialog;
    RunModal([&] { return dialog.DoModal(); },
             [](QWidget* window) {
                 EXPECT_EQ(window->windowTitle(), "About drel");
                 const QStringList texts = LabelTexts(window);
                 EXPECT_EQ(texts.size(), 3) << texts.join('|').toStdString();
                 EXPECT_EQ(texts.filter("drel").filter("Version 1.1").size(), 1);
                 EXPECT_EQ(texts.filter("Copyright").size(), 1);

                 int icons = 0;
                 for (const QLabel* label : window->findChildren<QLabel*>()) {
                     if (!label->pixmap().isNull()) {
                         ++icons;
                         EXPECT_EQ(label->size(), QSize(32, 32));
                         EXPECT_EQ(label->pixmap().toImage(),
                                   ApplicationIcon().pixmap(32, 32).toImage());
                     }
                 }
                 EXPECT_EQ(icons, 1);
                 PressKey(Qt::Key_Return);
             });
}

struct Closing {
    const char* name;
    std::function<void(QWidget*)> close;
    int result;
};

void PrintTo(const Closing& c, std::ostream* os) {
    *os << c.name;
}

class AboutClosing : public testing::TestWithParam<Closing> {};

TEST_P(AboutClosing, EndsTheBox) {
    CAboutDlg dialog;
    const int result = RunModal([&] { return dialog.DoModal(); }, GetParam().close);
    EXPECT_EQ(result, GetParam().result);
    EXPECT_FALSE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AboutClosing,
    testing::Values(Closing{"OkButton",
                            [](QWidget* w) { Click(qobject_cast<CDialog*>(w)->GetDlgItem(IDOK)); },
                            IDOK},
                    Closing{"Enter", [](QWidget*) { PressKey(Qt::Key_Return); }, IDOK},
                    Closing{"Escape", [](QWidget*) { PressKey(Qt::Key_Escape); }, IDCANCEL}),
    [](const testing::TestParamInfo<Closing>& info) { return info.param.name; });

TEST(Icons, EachIconHasAThirtyTwoAndASixteenPixelImage) {
    const struct {
        const char* name;
        QIcon icon;
    } icons[] = {{"application", ApplicationIcon()}, {"document", DocumentIcon()}};
    for (const auto& entry : icons) {
        for (int size : {32, 16}) {
            const QPixmap pixmap = entry.icon.pixmap(size, size);
            EXPECT_FALSE(pixmap.isNull()) << entry.name << " " << size;
            EXPECT_EQ(pixmap.size(), QSize(size, size)) << entry.name << " " << size;
        }
        EXPECT_EQ(entry.icon.availableSizes(), (QList<QSize>{{32, 32}, {16, 16}})) << entry.name;
    }
}

}  // namespace
}  // namespace drel
