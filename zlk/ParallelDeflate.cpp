#include "ParallelDeflate.h"

#include "ZlkSupport.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <unistd.h>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

namespace zlk {

namespace {

constexpr size_t PieceSize = 1024 * 1024;
constexpr size_t Window = 32 * 1024;

} // namespace

struct ParallelDeflate::Job
{
    std::vector<unsigned char> in;
    std::vector<unsigned char> dictionary;
    std::vector<unsigned char> out;
    uint32_t crc = 0;
    bool last = false;
    bool ok = true;
    std::thread worker;
    // Kept from piece to piece: a job is used again once its piece is handed
    // out, so that no piece has to fault in fresh buffers and state.
    std::vector<uint8_t> levelBuffer;
    z_stream zlib = {};
    bool zlibReady = false;

    ~Job()
    {
        if (zlibReady)
            deflateEnd(&zlib);
    }

    // Deflates in with the bytes before it as dictionary; the last piece of
    // the stream ends it, every other ends on a byte boundary (a sync flush).
    void run(Method method)
    {
        crc = crc32_gzip_refl(0, in.data(), in.size());
        out.resize(in.size() + in.size() / 8 + 1024); // more than either library's bound
        const size_t room = method == Method::Faster ? deflateFaster() : deflateSmaller();
        ok = room > 0;
        out.resize(out.size() - room);
    }

    // Both return the room left in out (none: failed).
    size_t deflateSmaller()
    {
        if (!zlibReady) {
            if (deflateInit2(&zlib, 3, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                return 0;
            zlibReady = true;
        } else if (deflateReset(&zlib) != Z_OK) {
            return 0;
        }
        if (!dictionary.empty())
            deflateSetDictionary(&zlib, dictionary.data(), uInt(dictionary.size()));
        zlib.next_in = in.data();
        zlib.avail_in = uInt(in.size());
        zlib.next_out = out.data();
        zlib.avail_out = uInt(out.size());
        const int status = deflate(&zlib, last ? Z_FINISH : Z_SYNC_FLUSH);
        const bool done = (last ? status == Z_STREAM_END : status == Z_OK) && zlib.avail_in == 0;
        return done ? zlib.avail_out : 0;
    }

    size_t deflateFaster()
    {
        levelBuffer.resize(ISAL_DEF_LVL1_DEFAULT);
        isal_zstream stream;
        isal_deflate_init(&stream);
        stream.level = 1;
        stream.level_buf = levelBuffer.data();
        stream.level_buf_size = uint32_t(levelBuffer.size());
        if (!dictionary.empty() &&
            isal_deflate_set_dict(&stream, dictionary.data(), uint32_t(dictionary.size())) != COMP_OK)
            return 0;
        stream.next_in = in.data();
        stream.avail_in = uint32_t(in.size());
        stream.next_out = out.data();
        stream.avail_out = uint32_t(out.size());
        stream.end_of_stream = last;
        stream.flush = SYNC_FLUSH;
        const bool done = isal_deflate(&stream) == COMP_OK && stream.avail_in == 0;
        return done ? stream.avail_out : 0;
    }
};

ParallelDeflate::ParallelDeflate(Read read, Method method)
    : m_read(std::move(read)), m_method(method),
      m_threads(std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4))
{
}

ParallelDeflate::~ParallelDeflate()
{
    for (const auto& job : m_jobs)
        job->worker.join();
}

bool ParallelDeflate::fail(const std::string& text)
{
    m_error = text;
    m_ended = true;
    return false;
}

// Starts pieces until as many are being compressed as there are threads. One
// piece is read ahead, so that the last one is known to be the last.
bool ParallelDeflate::startJobs()
{
    auto fill = [this](std::vector<unsigned char>& piece) {
        piece.resize(PieceSize);
        size_t done = 0;
        while (done < piece.size()) {
            const ssize_t n = m_read(piece.data() + done, piece.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            done += size_t(n);
        }
        piece.resize(done);
        return true;
    };
    if (!m_started) {
        m_started = true;
        if (!fill(m_ahead))
            return fail("cannot read the file to compress: " + errnoText(errno));
    }
    while (!m_inputEnded && m_jobs.size() < m_threads) {
        std::unique_ptr<Job> job;
        if (m_spare.empty()) {
            job = std::make_unique<Job>();
        } else {
            job = std::move(m_spare.back());
            m_spare.pop_back();
        }
        job->in.swap(m_ahead);
        job->dictionary = m_window;
        if (job->in.size() >= Window)
            m_window.assign(job->in.end() - std::ptrdiff_t(Window), job->in.end());
        else
            m_window.insert(m_window.end(), job->in.begin(), job->in.end());
        if (m_window.size() > Window)
            m_window.erase(m_window.begin(), m_window.end() - std::ptrdiff_t(Window));
        // An input without bytes is one empty final block.
        if (!job->in.empty() && !fill(m_ahead))
            return fail("cannot read the file to compress: " + errnoText(errno));
        job->last = job->in.empty() || m_ahead.empty();
        m_inputEnded = job->last;
        Job* started = job.get();
        job->worker = std::thread([started, method = m_method] { started->run(method); });
        m_jobs.push_back(std::move(job));
    }
    return true;
}

bool ParallelDeflate::next(std::vector<unsigned char>& out)
{
    if (m_ended || !startJobs())
        return false;
    if (m_jobs.empty()) {
        m_ended = true;
        return false;
    }
    std::unique_ptr<Job> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    job->worker.join();
    if (!job->ok)
        return fail("cannot compress the file");
    m_result.crc = uint32_t(crc32_combine(m_result.crc, job->crc, z_off_t(job->in.size())));
    m_result.size += job->in.size();
    m_result.compressedSize += job->out.size();
    out.swap(job->out);
    m_spare.push_back(std::move(job));
    // The next pieces compress while the caller uses this one.
    return startJobs();
}

bool ParallelDeflate::compress(int in, int out, Method method, Result& result, std::string& error)
{
    ParallelDeflate deflate(
        [in](unsigned char* data, size_t size) { return ::read(in, data, size); }, method);
    std::vector<unsigned char> part;
    while (deflate.next(part)) {
        if (!writeAll(out, part.data(), part.size())) {
            error = "cannot write the compressed file: " + errnoText(errno);
            return false;
        }
    }
    error = deflate.error();
    result = deflate.result();
    return error.empty();
}

} // namespace zlk
