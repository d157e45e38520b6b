#pragma once

#include <QTimer>
#include <QWidget>

#include <string>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QToolButton;
class TdtmApi;
class Tger_API;

// The main form: hidden at start, it owns the one-shot import run.
class TfrmPrincipal : public QWidget {
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget* parent = nullptr);

    // The other two long-lived objects exist only after the form; the run
    // needs them by the first tick.
    void attach(Tger_API& ger_API, TdtmApi& dtmApi);

    std::u16string token_quintara;
    std::u16string pathBancoDados;
    std::u16string regPorTrafego;

    QTimer timerImport;
    QFrame* pnlPri = nullptr;
    QToolButton* btnConfig = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* memotmp = nullptr;

    void FormCreate();
    void timerImportTimer();
    void LoadConfig();
    void SaveRetorno(const std::u16string& TextIn);
    void sairClick();

protected:
    void changeEvent(QEvent* event) override;

private:
    void FormActivate();
    void run_protected_import();
    void report_escaping_failure(const std::u16string& message);

    Tger_API* ger_API_ = nullptr;
    TdtmApi* dtmApi_ = nullptr;
    bool run_in_progress_ = false;
};
