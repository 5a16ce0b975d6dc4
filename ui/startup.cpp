#include "ui/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QSettings>

namespace zelmora {

QString QtTranslationFile(const QString& language) {
    return QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        .filePath(QStringLiteral("qtbase_%1.qm").arg(language));
}

Startup::Startup() {
    if (translator_.load(QtTranslationFile())) translated_ = QCoreApplication::installTranslator(&translator_);
    // Qt's file dialogs read and write their history, folders and view in
    // the user's settings. The program stores nothing between runs: those
    // settings live in a folder of this run only.
    settings_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zelmora-XXXXXX"));
    if (settings_->isValid()) {
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, settings_->path());
    }
}

Startup::~Startup() {
    if (translated_) QCoreApplication::removeTranslator(&translator_);
}

}  // namespace zelmora
