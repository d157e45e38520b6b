// The form itself, in-process on a private X display with a tray host: whole
// runs against the substitute service, the window and the icon read at each
// dispatch between pages, as the operator would see them then.
#include "api/uGer_API.h"
#include "app/application_title.h"
#include "app/tray_desktop.h"
#include "app/ufrmPrincipal.h"
#include "db/uDtmApi.h"
#include "support/test_database.h"
#include "support/test_service.h"
#include "tools/quintara_service.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <iostream>
#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using namespace std::chrono_literals;

const std::string token = "janela";
const std::filesystem::path screenshot_dir = TRAY_SCREENSHOT_DIR;

// The window and the icon as one dispatch found them.
struct Seen {
    QString progress;
    QString tip;
    int skips_listed = 0;
    QRect frame;
};

// What a run showed, and how long the process took to leave after the
// service was told the catalogue had arrived.
struct ShownRun {
    std::vector<Seen> seen;
    QStringList skip_list;
    QString final_progress;
    std::optional<std::pair<QString, QString>> end_notice;  // title and text
    std::chrono::milliseconds confirmation_to_exit{};
    std::string result_file;
    std::string log;
};

class StatusWindow : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto missing = TrayDesktop::missing_programs();
        if (!missing.empty()) return;
        desktop = new TrayDesktop();
        setenv("DISPLAY", desktop->display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("LANG", "C.UTF-8", 1);
        setenv("IMPORTADOR_TICK_MS", "10", 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");  // the notice goes to the tray host, where the test reads it
        unsetenv("LC_ALL");
        static int argc = 1;
        static char name[] = "importador";
        static char* argv[] = {name, nullptr};
        application = new QApplication(argc, argv);
    }
    static void TearDownTestSuite()
    {
        delete application;
        delete desktop;
    }

    void SetUp() override
    {
        if (!desktop)
            GTEST_SKIP() << "X test tools are not installed (Debian packages xvfb trayer xdotool x11-utils "
                            "imagemagick)";
    }

    // One process's run: a form, its request and the service's catalogue,
    // the window shown before the first tick.
    ShownRun run(const CatalogueOptions& catalogue, const std::function<void(TfrmPrincipal&)>& at_dispatch = {},
                 const std::function<void(QuintaraService&)>& prepare_service = {})
    {
        TestDatabase database;
        TempDir dir;
        ServiceOptions options;
        options.catalogue = catalogue;
        options.expected_token = token;
        QuintaraService service(std::move(options));
        if (prepare_service) prepare_service(service);
        ScopedEnvironment trust("CURL_CA_BUNDLE", service.ca_file().string());
        ScopedEnvironment direct("no_proxy", "127.0.0.1,localhost");
        write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token + "\r\npathBancoDados=" +
                                                        database.file.string() + "\r\nReg_por_trafego=10\r\n");

        ShownRun shown;
        {
            Tger_API ger_API;
            ger_API.urlBase = utf8_to_utf16(service.base_url());
            if (ger_API.urlBase.back() != u'/') ger_API.urlBase += u'/';
            TdtmApi dtmApi;
            TfrmPrincipal form;
            ShellController controller(form, ger_API, dtmApi);
            controller.run().directory = [&dir] { return utf8_to_utf16(dir.path().string()) + u"/"; };
            form.restauraClick();

            // A zero timer fires at every dispatch the run makes between pages.
            QTimer sampler;
            sampler.setInterval(0);
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                const Seen now{form.lblProgresso->text(), form.trayIconData->toolTip(), form.lstIgnorados->count(),
                               form.frameGeometry()};
                if (!shown.seen.empty() && shown.seen.back().progress == now.progress) return;
                shown.seen.push_back(now);
                if (at_dispatch) at_dispatch(form);
            });
            sampler.start();
            EXPECT_EQ(0, QApplication::exec());
            const auto exited = std::chrono::system_clock::now();

            if (const auto confirmed = service.confirmation_time())
                shown.confirmation_to_exit = std::chrono::duration_cast<std::chrono::milliseconds>(exited - *confirmed);
            for (int i = 0; i < form.lstIgnorados->count(); ++i) shown.skip_list << form.lstIgnorados->item(i)->text();
            shown.final_progress = form.lblProgresso->text();
            shown.end_notice = shown_end_notice();
        }
        shown.result_file = read_file_bytes(dir / "ConfigImporta.ret");
        shown.log = read_file_bytes(dir / "ConfigImporta.log");
        return shown;
    }

    // Qt draws a tray message itself when the tray host is no notification
    // service: a balloon widget, left behind by the form that raised it.
    static std::optional<std::pair<QString, QString>> shown_end_notice()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->inherits("QBalloonTip") || !widget->isVisible()) continue;
            QStringList texts;  // the icon's label has none
            for (const QLabel* label : widget->findChildren<QLabel*>())
                if (!label->text().isEmpty()) texts << label->text();
            if (texts.size() != 2) continue;
            auto notice = std::make_pair(texts[0], texts[1]);
            QApplication::processEvents();  // painted, for the picture
            const bool failed = notice.first.startsWith(QStringLiteral("A importação não"));
            desktop->screenshot(screenshot_dir / (failed ? "qt_end_notice_failed.png" : "qt_end_notice_skips.png"));
            widget->close();
            return notice;
        }
        return std::nullopt;
    }

    static inline TrayDesktop* desktop = nullptr;
    static inline QApplication* application = nullptr;
};

// Page by page the line under "Status:" advances, the tip repeats it, and
// the skipped products fill a list that the window grows for, about its
// centre; at the end a notice names the skips and the log, and the process
// leaves as soon as without it.
TEST_F(StatusWindow, ShowsEachPageTheSkipsAndTheEnd)
{
    const ShownRun clean = run({.products = 40});
    EXPECT_EQ("\xEF\xBB\xBFImportacao de dados Ok", clean.result_file);
    EXPECT_FALSE(clean.end_notice) << clean.end_notice->second.toStdString();
    EXPECT_TRUE(clean.skip_list.empty());

    bool photographed = false;
    const ShownRun skipped = run({.products = 60, .bad = 6}, [&](TfrmPrincipal& form) {
        if (photographed || form.lstIgnorados->count() < 2) return;
        form.grab().save(QString::fromStdString((screenshot_dir / "qt_status_window_skips.png").string()));
        desktop->screenshot(screenshot_dir / "qt_desktop_during_run_with_skips.png");
        photographed = true;
    });
    EXPECT_EQ("\xEF\xBB\xBFImportacao de dados Ok", skipped.result_file);
    EXPECT_TRUE(photographed);

    // Each dispatch comes after a commit: the committed pages, counted.
    std::vector<QString> lines;
    for (const auto& seen : skipped.seen)
        if (seen.progress.startsWith(QStringLiteral("Página "))) lines.push_back(seen.progress);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(QStringLiteral("Página 1 · 9 produtos gravados · 1 ignorado"), lines[0]);
    EXPECT_EQ(QStringLiteral("Página 6 · 54 produtos gravados · 6 ignorados"), lines[5]);
    for (const auto& seen : skipped.seen) {
        if (seen.progress.startsWith(QStringLiteral("Página "))) {
            EXPECT_EQ(application_title() + QStringLiteral("\n") + seen.progress, seen.tip);
        }
    }
    EXPECT_EQ(QStringLiteral("Importacao de dados Ok"), skipped.final_progress);

    ASSERT_EQ(6, skipped.skip_list.size());
    // One line each: the log's text with its line breaks (the database's
    // own, CR LF) laid flat.
    for (const auto& line : skipped.skip_list) {
        const auto colon = line.indexOf(QStringLiteral(": "));
        const QString reason = line.mid(colon + 2).replace(QStringLiteral("; "), QStringLiteral("\r\n"));
        const QString logged = QStringLiteral("Produto ") + line.left(colon) + QStringLiteral(" ignorado: ") + reason;
        EXPECT_NE(std::string::npos, skipped.log.find(logged.toStdString())) << line.toStdString();
    }

    // Shown centred at 300 x 100 before the run; grown about that centre.
    const QRect before = skipped.seen.front().frame, after = skipped.seen.back().frame;
    EXPECT_EQ(0, skipped.seen.front().skips_listed);
    EXPECT_NEAR(before.center().x(), after.center().x(), 2);
    EXPECT_NEAR(before.center().y(), after.center().y(), 2);
    EXPECT_GT(after.width(), before.width());
    EXPECT_GT(after.height(), before.height());

    ASSERT_TRUE(skipped.end_notice);
    EXPECT_EQ(QStringLiteral("Importação concluída com produtos ignorados"), skipped.end_notice->first);
    EXPECT_EQ(QStringLiteral("Importacao de dados Ok\n6 produtos ignorados. Detalhes em ConfigImporta.log"),
              skipped.end_notice->second);

    // Both measured from the confirmation, the run's last exchange after
    // its last commit; the notice adds nothing that waits.
    std::cout << "confirmation to exit: " << clean.confirmation_to_exit.count() << " ms clean, "
              << skipped.confirmation_to_exit.count() << " ms with the notice\n";
    EXPECT_LT(skipped.confirmation_to_exit, clean.confirmation_to_exit + 1s);
}

// A run that fails raises the error notice with the failure's text.
TEST_F(StatusWindow, FailedRunRaisesTheErrorNotice)
{
    const ShownRun failed = run({.products = 30}, {}, [](QuintaraService& service) {
        const std::string second_page =
            std::string(QuintaraService::products_path) + "10/TODOS/" + std::to_string(service.catalogue().id_at(9));
        service.script(second_page, ScriptedAnswer(500, "{\"message\":\"fora do ar\"}"));
    });
    ASSERT_TRUE(failed.end_notice);
    EXPECT_EQ(QStringLiteral("A importação não foi concluída"), failed.end_notice->first);
    const QString outcome = QString::fromStdString(failed.result_file.substr(3));
    EXPECT_EQ(outcome + QStringLiteral("\n0 produtos ignorados. Detalhes em ConfigImporta.log"),
              failed.end_notice->second);
    EXPECT_EQ(outcome, failed.final_progress);
}

}  // namespace
