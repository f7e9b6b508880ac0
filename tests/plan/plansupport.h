#pragma once

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <QTranslator>

#include <vector>

#include "registry/dev.h"
#include "resources/resources.h"

namespace PlanSupport {

// The tool shows its texts through the English catalogue.
inline bool installEnglish(QObject *owner)
{
    initResources();
    auto *english = new QTranslator(owner);
    return english->load(QStringLiteral(":/language/language/app_en_US.qm"))
           && QCoreApplication::installTranslator(english);
}

// Registry records from lines "MAC IP on|off [MASK [GATEWAY [DNS]]] [dhcp]";
// "dhcp" marks a device that reports its address as taken by DHCP.
class Devices
{
public:
    explicit Devices(const QStringList &descriptions)
    {
        records.reserve(size_t(descriptions.size()));
        for (const QString &description : descriptions) {
            QStringList words = description.split(QLatin1Char(' '));
            Dev dev;
            dev.online = words.at(2) == QLatin1String("on") ? 3 : 0;
            dev.info.ipMode = words.removeAll(QStringLiteral("dhcp")) ? 0 : 1;
            Wire::writeText(dev.info.mac, words.at(0));
            Wire::writeText(dev.info.ip, words.at(1));
            Wire::writeText(dev.info.mask, words.value(3));
            Wire::writeText(dev.info.gateway, words.value(4));
            Wire::writeText(dev.info.dns, words.value(5));
            records.push_back(dev);
        }
        for (Dev &dev : records)
            list << &dev;
    }
    Devices(const Devices &) = delete;
    Devices &operator=(const Devices &) = delete;

    std::vector<Dev> records;
    QList<Dev *> list;
};

} // namespace PlanSupport
