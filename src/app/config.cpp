#include "app/config.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zindra::app {
namespace {

int sizeValue(const QSettings& ini, const QString& key, int fallback, int max) {
    const QVariant v = ini.value(key);
    // A value with a comma comes back as a list; that is no number either.
    if (!v.isValid() || v.userType() == QMetaType::QStringList) return fallback;
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    if (!ok || n <= 0 || n > max) return fallback;
    return n;
}

}  // namespace

QString configFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/ZINDRA.INI");
}

Config loadConfig(const QString& path, QSize maxSize) {
    Config c;
    const QSettings ini(path, QSettings::IniFormat);
    const QVariant device = ini.value(QStringLiteral("Port/Nummer"));
    if (device.isValid()) {
        // A name with a comma is read back as a list; join it again.
        c.deviceName = device.userType() == QMetaType::QStringList
                           ? device.toStringList().join(QLatin1Char(',')).toStdString()
                           : device.toString().toStdString();
    }
    c.height = sizeValue(ini, QStringLiteral("DeskTop/Height"), Config::DefaultHeight, maxSize.height());
    c.width = sizeValue(ini, QStringLiteral("DeskTop/Width"), Config::DefaultWidth, maxSize.width());
    return c;
}

bool saveConfig(const QString& path, const Config& config) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("DeskTop/Height"), config.height);
    ini.setValue(QStringLiteral("DeskTop/Width"), config.width);
    ini.setValue(QStringLiteral("Port/Nummer"), QString::fromStdString(config.deviceName));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

}  // namespace zindra::app
