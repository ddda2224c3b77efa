// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/SprucerFactory.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/LanguageSprucer.h"
#include "core/model/CodeWatcherModel.h"

SprucerFactory::SprucerFactory(const ConfigManagerFactory &configurations,
                               ToolFixer::Environment environment)
    : m_configManagerFactory(configurations)
    , m_environment(std::move(environment))
{}

Result<std::shared_ptr<IFixer>> SprucerFactory::makeFixer(const CodeWatcherModel &watcher) const
{
    Result<QUrl> config = m_configManagerFactory.configURL(watcher.configurationId);
    if (!config)
        return config.error();
    const QUrl &url = config.value();
    ToolFixer::Environment environment = m_environment;
    environment.watcherId = watcher.id;
    switch (watcher.codeKind) {
    case SupportedFileExtension::swift:
        return std::shared_ptr<IFixer>(std::make_shared<SwiftSprucer>(url, environment));
    case SupportedFileExtension::cpp:
        return std::shared_ptr<IFixer>(std::make_shared<CppSprucer>(url, environment));
    case SupportedFileExtension::objectivec:
        return std::shared_ptr<IFixer>(std::make_shared<ObjectiveCSprucer>(url, environment));
    case SupportedFileExtension::kotlin:
        return std::shared_ptr<IFixer>(std::make_shared<KotlinSprucer>(url, environment));
    }
    Q_UNREACHABLE();
    return std::shared_ptr<IFixer>();
}
