#include "TestEnvironment.h"

#include "AppState.h"
#include "Settings.h"

#include <QDir>

TestEnvironment::TestEnvironment()
{
    m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_previousConfigHome = qgetenv("XDG_CONFIG_HOME");
    QDir(m_folder.path()).mkpath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_folder.filePath(QStringLiteral("config"))));
    SetSettingsFile(m_folder.filePath(QStringLiteral("config/auditlog-test.conf")));

    ResetAppState();
    ClearRunFailure();
    m_previousResponder =
        SetMessageResponder([this](const MessageRequest& request) { return respond(request); });
    m_previousEndHandler = SetEndHandler([this](int status) { m_endStatuses.append(status); });
}

TestEnvironment::~TestEnvironment()
{
    SetMessageResponder(m_previousResponder);
    SetEndHandler(m_previousEndHandler);
    SetSettingsFile(QString());
    ResetAppState();
    ClearRunFailure();
    if (m_hadConfigHome)
        qputenv("XDG_CONFIG_HOME", m_previousConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString TestEnvironment::settingsFile() const
{
    return m_folder.filePath(QStringLiteral("config/auditlog-test.conf"));
}

void TestEnvironment::setSetting(const QString& key, const QString& value)
{
    SaveSettingValue(key, value);
}

QStringList TestEnvironment::messageTexts() const
{
    QStringList texts;
    for (const MessageRequest& request : m_messages)
        texts.append(request.text);
    return texts;
}

void TestEnvironment::setAnswerHandler(std::function<MsgAnswer(const MessageRequest&)> handler)
{
    m_answerHandler = std::move(handler);
}

MsgAnswer TestEnvironment::respond(const MessageRequest& request)
{
    m_messages.append(request);
    if (m_answerHandler)
        return m_answerHandler(request);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    const bool yesNo =
        request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel;
    return yesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}
