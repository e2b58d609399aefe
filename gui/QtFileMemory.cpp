#include "gui/QtFileMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace o8r {

namespace {

QString Key(FileKind kind) {
    switch (kind) {
        case FileKind::Image:
            return QStringLiteral("LastFiles/image");
        case FileKind::Firmware:
            return QStringLiteral("LastFiles/firmware");
        case FileKind::ReadData:
            return QStringLiteral("LastFiles/readData");
    }
    return QString();
}

}  // namespace

QtFileMemory::QtFileMemory(std::unique_ptr<QSettings> settings) : m_settings(std::move(settings)) {
    if (!m_settings) {
        m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 QStringLiteral("o8r-programmer"),
                                                 QStringLiteral("o8r-programmer"));
    }
}

QtFileMemory::~QtFileMemory() = default;

QString QtFileMemory::StartPath(FileKind kind) const {
    auto it = m_lastPaths.find(kind);
    const QString last =
        it != m_lastPaths.end() ? it->second : m_settings->value(Key(kind)).toString();
    if (last.isEmpty())
        return QString();
    const QFileInfo file(last);
    // A folder that has gone is no place to start.
    if (!file.absoluteDir().exists())
        return QString();
    if (kind == FileKind::Image)
        return file.absoluteFilePath();
    return file.absolutePath();
}

void QtFileMemory::Remember(FileKind kind, const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_lastPaths[kind] = absolute;
    m_settings->setValue(Key(kind), absolute);
    m_settings->sync();
}

}  // namespace o8r
