// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/DefaultParameters.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QSysInfo>
#include <QTimeZone>

namespace DefaultParameters {

namespace {

// What does not change while the program runs, read once.
struct SystemFacts
{
    QString operatingSystem;
    QString systemVersion;
    QString majorVersion;
    QString majorMinorVersion;
    QString architecture;
    QString modelName;
};

QString hardwareModelName()
{
    // The DMI product name is world-readable on Linux; other systems report nothing here.
    QFile file(QStringLiteral("/sys/class/dmi/id/product_name"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).simplified();
}

SystemFacts readSystemFacts()
{
    SystemFacts facts;
    facts.operatingSystem = operatingSystemName();
    facts.systemVersion = QSysInfo::productVersion();
    if (facts.systemVersion.isEmpty() || facts.systemVersion == QStringLiteral("unknown"))
        facts.systemVersion = QSysInfo::kernelVersion();
    const QStringList parts = facts.systemVersion.split(u'.');
    facts.majorVersion = parts.value(0);
    facts.majorMinorVersion = parts.size() > 1 ? parts[0] + u'.' + parts[1] : parts.value(0);
    facts.architecture = QSysInfo::currentCpuArchitecture();
    facts.modelName = hardwareModelName();
    return facts;
}

const SystemFacts &systemFacts()
{
    static const SystemFacts facts = readSystemFacts();
    return facts;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QString operatingSystemName()
{
    const QString kernel = QSysInfo::kernelType();
    if (kernel == QStringLiteral("linux"))
        return QStringLiteral("Linux");
    if (kernel == QStringLiteral("darwin"))
        return QStringLiteral("macOS");
    if (kernel == QStringLiteral("winnt"))
        return QStringLiteral("Windows");
    if (kernel == QStringLiteral("freebsd"))
        return QStringLiteral("FreeBSD");
    return kernel.isEmpty() ? kernel : kernel.front().toUpper() + kernel.mid(1);
}

QMap<QString, QString> collect(const QDateTime &now)
{
    const SystemFacts &system = systemFacts();
    const QLocale locale = QLocale::system();
    const QString version = QCoreApplication::applicationVersion();
    // The project's version is its only version: the build number repeats it.
    const QString &build = version;
    const QString localeName = locale.name();
    const QString region = QLocale::territoryToCode(locale.territory());
    const QString preferredLanguage = QLocale::languageToCode(locale.language());
    // The interface exists in English only.
    const QString appLanguage = QStringLiteral("en");
#ifdef NDEBUG
    const QString isDebug = boolText(false);
#else
    const QString isDebug = boolText(true);
#endif
    const QString sdk = QString::fromLatin1(sdkName);
    const QString sdkVersionText = QString::fromLatin1(sdkVersion);

    const QDateTime local = now.toLocalTime();
    const QDate day = local.date();
    const bool weekend = !locale.weekdays().contains(static_cast<Qt::DayOfWeek>(day.dayOfWeek()));

    // Screen, appearance and accessibility are known to the GUI only; it may supply them
    // through the configuration's default parameters, which take precedence.
    const QString unknown;

    return {
        {QStringLiteral("platform"), system.operatingSystem},
        {QStringLiteral("systemVersion"), system.systemVersion},
        {QStringLiteral("majorSystemVersion"), system.majorVersion},
        {QStringLiteral("majorMinorSystemVersion"), system.majorMinorVersion},
        {QStringLiteral("appVersion"), version},
        {QStringLiteral("buildNumber"), build},
        {QStringLiteral("isSimulator"), boolText(false)},
        {QStringLiteral("isDebug"), isDebug},
        {QStringLiteral("isTestFlight"), boolText(false)},
        {QStringLiteral("isAppStore"), boolText(false)},
        {QStringLiteral("modelName"), system.modelName},
        {QStringLiteral("architecture"), system.architecture},
        {QStringLiteral("operatingSystem"), system.operatingSystem},
        {QStringLiteral("targetEnvironment"), QStringLiteral("native")},
        {QStringLiteral("locale"), localeName},
        {QStringLiteral("appLanguage"), appLanguage},
        {QStringLiteral("preferredLanguage"), preferredLanguage},
        {QStringLiteral("telemetryClientVersion"), sdkVersionText},
        {QStringLiteral("extensionIdentifier"), unknown},
        {QStringLiteral("TelemetryDeck.Accessibility.isInvertColorsEnabled"), unknown},
        {QStringLiteral("TelemetryDeck.Accessibility.isReduceMotionEnabled"), unknown},
        {QStringLiteral("TelemetryDeck.AppInfo.buildNumber"), build},
        {QStringLiteral("TelemetryDeck.AppInfo.version"), version},
        {QStringLiteral("TelemetryDeck.AppInfo.versionAndBuildNumber"),
         version + QStringLiteral(" (") + build + u')'},
        {QStringLiteral("TelemetryDeck.Calendar.dayOfMonth"), QString::number(day.day())},
        {QStringLiteral("TelemetryDeck.Calendar.dayOfWeek"), QString::number(day.dayOfWeek())},
        {QStringLiteral("TelemetryDeck.Calendar.dayOfYear"), QString::number(day.dayOfYear())},
        {QStringLiteral("TelemetryDeck.Calendar.hourOfDay"), QString::number(local.time().hour())},
        {QStringLiteral("TelemetryDeck.Calendar.isWeekend"), boolText(weekend)},
        {QStringLiteral("TelemetryDeck.Calendar.monthOfYear"), QString::number(day.month())},
        {QStringLiteral("TelemetryDeck.Calendar.quarterOfYear"),
         QString::number((day.month() - 1) / 3 + 1)},
        {QStringLiteral("TelemetryDeck.Calendar.weekOfYear"), QString::number(day.weekNumber())},
        {QStringLiteral("TelemetryDeck.Device.architecture"), system.architecture},
        {QStringLiteral("TelemetryDeck.Device.modelName"), system.modelName},
        {QStringLiteral("TelemetryDeck.Device.operatingSystem"), system.operatingSystem},
        {QStringLiteral("TelemetryDeck.Device.orientation"), unknown},
        {QStringLiteral("TelemetryDeck.Device.platform"), system.operatingSystem},
        {QStringLiteral("TelemetryDeck.Device.screenResolutionHeight"), unknown},
        {QStringLiteral("TelemetryDeck.Device.screenResolutionWidth"), unknown},
        {QStringLiteral("TelemetryDeck.Device.screenScaleFactor"), unknown},
        {QStringLiteral("TelemetryDeck.Device.systemMajorMinorVersion"), system.majorMinorVersion},
        {QStringLiteral("TelemetryDeck.Device.systemMajorVersion"), system.majorVersion},
        {QStringLiteral("TelemetryDeck.Device.systemVersion"), system.systemVersion},
        {QStringLiteral("TelemetryDeck.Device.timeZone"),
         QString::fromUtf8(QTimeZone::systemTimeZoneId())},
        {QStringLiteral("TelemetryDeck.RunContext.extensionIdentifier"), unknown},
        {QStringLiteral("TelemetryDeck.RunContext.isAppStore"), boolText(false)},
        {QStringLiteral("TelemetryDeck.RunContext.isDebug"), isDebug},
        {QStringLiteral("TelemetryDeck.RunContext.isSimulator"), boolText(false)},
        {QStringLiteral("TelemetryDeck.RunContext.isTestFlight"), boolText(false)},
        {QStringLiteral("TelemetryDeck.RunContext.language"), appLanguage},
        {QStringLiteral("TelemetryDeck.RunContext.locale"), localeName},
        {QStringLiteral("TelemetryDeck.RunContext.targetEnvironment"), QStringLiteral("native")},
        {QStringLiteral("TelemetryDeck.SDK.name"), sdk},
        {QStringLiteral("TelemetryDeck.SDK.nameAndVersion"), sdk + u' ' + sdkVersionText},
        {QStringLiteral("TelemetryDeck.SDK.version"), sdkVersionText},
        {QStringLiteral("TelemetryDeck.UserPreference.colorScheme"), unknown},
        {QStringLiteral("TelemetryDeck.UserPreference.language"), preferredLanguage},
        {QStringLiteral("TelemetryDeck.UserPreference.layoutDirection"),
         locale.textDirection() == Qt::RightToLeft ? QStringLiteral("rightToLeft")
                                                   : QStringLiteral("leftToRight")},
        {QStringLiteral("TelemetryDeck.UserPreference.region"), region},
    };
}

} // namespace DefaultParameters
