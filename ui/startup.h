#pragma once
// What the program sets up before its window: Qt's own texts (dialog
// buttons, file dialogs) in Chinese, and nothing stored between runs.
#include <QString>
#include <QTemporaryDir>
#include <QTranslator>
#include <memory>

namespace zelmora {

class Startup {
public:
    // After the QApplication is made, before any window or QSettings.
    Startup();
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    // Whether Qt's Chinese translation was found and installed.
    bool translated() const { return translated_; }

private:
    QTranslator translator_;
    bool translated_ = false;
    // Where Qt's own settings (the file dialogs' state) go for this run; gone
    // at exit, so nothing reaches the user's configuration.
    std::unique_ptr<QTemporaryDir> settings_;
};

// Qt's translation of its own texts for the language, from Qt's translations
// folder (Debian's qt6-translations-l10n).
QString QtTranslationFile(const QString& language = QStringLiteral("zh_CN"));

}  // namespace zelmora
