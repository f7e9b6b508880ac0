#include "adminservice.h"

#include <QDebug>

AdminService *AdminService::s_instance = nullptr;

AdminService::AdminService(QObject *parent)
    : QObject(parent)
{
    // A second bus stays unregistered; instance() keeps answering the first.
    if (!s_instance)
        s_instance = this;
}

AdminService *AdminService::instance()
{
    if (!s_instance)
        new AdminService;
    return s_instance;
}

void AdminService::debug(const QString &text, int type)
{
    qDebug().noquote() << text;
    emit debugMsg(text, type);
}
