#pragma once

#include "UiHooks.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

// A test's private surroundings: a temporary folder with the program's
// settings file in it, fresh process state, a message responder that records
// every message and answers as told, and an end handler that records the
// status instead of ending the process. The destructor puts everything back.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    bool isValid() const { return m_folder.isValid(); }
    QString path() const { return m_folder.path(); }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }

    // Settings of the program (SaveSettingValue rules: a blank value deletes).
    void setSetting(const QString& key, const QString& value);
    // The four level settings from "SWEF" letters: status, warning, error, fatal.
    static void setLevels(const QString& letters);

    QList<MessageRequest> messages() const { return m_messages; }
    QStringList messageTexts() const;
    // The answer to the next message; without a queued answer, a message gets
    // the first button (Ok or Yes).
    void answerNext(MsgAnswer answer) { m_answers.append(answer); }

    // Records the statements logged under audit.sql from now on (whatever
    // QT_LOGGING_RULES says), each line as logged: "jet:    DELETE ...".
    void recordSqlLog();
    // The logged texts of one kind ("jet", "sqlite", "view") with the prefix
    // removed, or every line as logged when no kind is given.
    QStringList sqlLog(const QString& kind = QString()) const;

    // EndProgram calls so far (EndProgram returns to its caller in tests).
    bool ended() const { return !m_endStatuses.isEmpty(); }
    QList<int> endStatuses() const { return m_endStatuses; }

private:
    QTemporaryDir m_folder;
    QList<MessageRequest> m_messages;
    QList<MsgAnswer> m_answers;
    QList<int> m_endStatuses;
    QStringList m_sqlLog;
    bool m_recordingSql = false;
    MessageResponder m_previousResponder;
    EndHandler m_previousEndHandler;
};
