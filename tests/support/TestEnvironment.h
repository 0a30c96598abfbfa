#pragma once

#include "UiHooks.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>

// A test's private surroundings: a temporary folder that is also
// XDG_CONFIG_HOME, a settings file inside it, fresh process state, a message
// responder that records every message and answers as told, and an end handler
// that records the status instead of ending the process. The destructor puts
// everything back.
//
//     TestEnvironment env;
//     env.answerNext(MsgAnswer::No);
//     ... run the code ...
//     QCOMPARE(env.messages().value(0).caption, "Load View");
//     QCOMPARE(env.endStatus(), 1);
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    bool isValid() const { return m_folder.isValid(); }
    // The temporary folder and a name inside it.
    QString path() const { return m_folder.path(); }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    // The settings file the program reads and writes during the test.
    QString settingsFile() const;

    // Settings of the program (SaveSettingValue rules: a blank value deletes).
    void setSetting(const QString& key, const QString& value);

    // Every message shown so far, in order.
    QList<MessageRequest> messages() const { return m_messages; }
    QStringList messageTexts() const;
    void clearMessages() { m_messages.clear(); }
    // The answer to the next message; without a queued answer, a message gets
    // the first button (Ok or Yes). A handler, when set, decides instead.
    void answerNext(MsgAnswer answer) { m_answers.append(answer); }
    void setAnswerHandler(std::function<MsgAnswer(const MessageRequest&)> handler);

    // Records the statements logged under audit.sql from now on (whatever
    // QT_LOGGING_RULES says), each line as logged: "jet:    DELETE ...".
    void recordSqlLog();
    QStringList sqlLog() const { return m_sqlLog; }
    // The logged texts of one kind ("jet", "sqlite", "view"), prefix removed.
    QStringList sqlLog(const QString& kind) const;
    void clearSqlLog() { m_sqlLog.clear(); }

    // EndProgram calls so far (EndProgram returns to its caller in tests).
    bool ended() const { return !m_endStatuses.isEmpty(); }
    int endStatus() const { return m_endStatuses.value(0, -1); }
    QList<int> endStatuses() const { return m_endStatuses; }
    void clearEnds() { m_endStatuses.clear(); }

private:
    MsgAnswer respond(const MessageRequest& request);

    QTemporaryDir m_folder;
    QList<MessageRequest> m_messages;
    QList<MsgAnswer> m_answers;
    std::function<MsgAnswer(const MessageRequest&)> m_answerHandler;
    QList<int> m_endStatuses;
    QStringList m_sqlLog;
    bool m_recordingSql = false;
    MessageResponder m_previousResponder;
    EndHandler m_previousEndHandler;
    QByteArray m_previousConfigHome;
    bool m_hadConfigHome = false;
};
