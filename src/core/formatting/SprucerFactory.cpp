// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/SprucerFactory.h"

#include "core/formatting/CppSprucer.h"
#include "core/formatting/KotlinSprucer.h"
#include "core/formatting/ObjectiveCSprucer.h"
#include "core/formatting/SwiftSprucer.h"
#include "core/watching/CodeWatcherModel.h"

SprucerFactory::SprucerFactory(ToolResolver resolver)
    : m_resolver(std::move(resolver))
{}

Result<std::shared_ptr<IFixer>> SprucerFactory::makeFixer(const CodeWatcherModel &watcher) const
{
    Result<QUrl> config = m_configManagerFactory.configURL(watcher.configurationId);
    if (!config)
        return config.error();
    const QString language = SupportedFileExtensions::displayName(watcher.codeKind);
    std::shared_ptr<IFixer> fixer;
    switch (watcher.codeKind) {
    case SupportedFileExtension::swift:
        fixer = std::make_shared<SwiftSprucer>(language, m_resolver, config.value());
        break;
    case SupportedFileExtension::cpp:
        fixer = std::make_shared<CppSprucer>(language, m_resolver, config.value());
        break;
    case SupportedFileExtension::objectivec:
        fixer = std::make_shared<ObjectiveCSprucer>(language, m_resolver, config.value());
        break;
    case SupportedFileExtension::kotlin:
        fixer = std::make_shared<KotlinSprucer>(language, m_resolver, config.value());
        break;
    }
    return fixer;
}
