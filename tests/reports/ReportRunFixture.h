#pragma once

#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "PrivateTempFolder.h"
#include "ReportEngineHooks.h"
#include "SmtpTestServer.h"
#include "TestEnvironment.h"
#include "ZlkApi.h"

#include <QDir>
#include <QtTest>

// Whole report runs: one mail server for the suite, and per test a private
// environment, a database of the given entries opened as the program's, a
// current folder of its own, the mail library's folder beside the database;
// the engine hooks and the current folder are put back afterwards.
struct ReportRunFixture
{
    // In initTestCase.
    void startServer()
    {
        server = std::make_unique<SmtpTestServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorString()));
        previousFolder = QDir::currentPath();
    }

    // In init.
    void begin(const QList<AuditEntry>& entries)
    {
        env = std::make_unique<TestEnvironment>();
        db = std::make_unique<AuditTestDb>();
        QVERIFY2(db->add(entries), qPrintable(db->errorString()));
        QVERIFY(db->openShared());
        folder = env->filePath(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(folder) && QDir::setCurrent(folder));
        Zlk::setSystemFolder(db->root() + QStringLiteral("SYSTEM"));
        previousHooks = ReportEngineHooks::current();
        server->installAsMailServer();
        server->clearMessages();
    }

    // What a run left in the current folder and in its private one.
    QStringList left() const
    {
        const auto all = QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden;
        return QDir(folder).entryList(all) + QDir(PrivateTempFolder::path()).entryList(all);
    }

    // In cleanup.
    void end()
    {
        ReportEngineHooks::install(previousHooks);
        QDir::setCurrent(previousFolder);
        AuditDatabase::instance().close();
        db.reset();
        env.reset();
    }

    std::unique_ptr<SmtpTestServer> server;
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<AuditTestDb> db;
    QString folder; // the current folder during a run
    QString previousFolder;
    ReportEngineHooks previousHooks;
};
