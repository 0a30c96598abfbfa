#pragma once

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// Deflates a PDF's page contents on a thread of its own while the next pages
// are laid out, handing them back in the order they came.
class PdfDeflater
{
public:
    PdfDeflater();
    ~PdfDeflater();

    void submit(std::string data);
    // The oldest data submitted and not yet taken, deflated (waits for it).
    QByteArray take();
    // Data submitted and not yet taken.
    int pending() const { return m_pending; }

    // zlib's format at its fastest level.
    static QByteArray deflate(const char* data, qsizetype size);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_input;
    std::deque<QByteArray> m_output;
    bool m_stop = false;
    bool m_idle = false;    // the thread waits for data
    bool m_waiting = false; // take() waits for the thread
    int m_pending = 0;
    std::thread m_thread;
};
