#include "ParallelDeflate.h"

#include "ZlkSupport.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace zlk {

namespace {

constexpr size_t PieceSize = 1024 * 1024;
constexpr size_t Window = 32 * 1024;

struct Piece
{
    std::vector<unsigned char> in;
    std::vector<unsigned char> out;
    uint32_t crc = 0;
    bool ok = true;
};

// Deflates piece with the bytes before it as dictionary; the last piece of the
// stream ends it, every other ends on a byte boundary (a sync flush).
void deflatePiece(Piece& piece, const unsigned char* dictionary, size_t dictionarySize, int level,
                  bool last)
{
    piece.crc = uint32_t(crc32(0, piece.in.data(), uInt(piece.in.size())));
    z_stream stream = {};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        piece.ok = false;
        return;
    }
    if (dictionarySize > 0)
        deflateSetDictionary(&stream, dictionary, uInt(dictionarySize));
    piece.out.resize(deflateBound(&stream, uLong(piece.in.size())) + 16);
    stream.next_in = piece.in.data();
    stream.avail_in = uInt(piece.in.size());
    stream.next_out = piece.out.data();
    stream.avail_out = uInt(piece.out.size());
    const int status = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    piece.ok = (last ? status == Z_STREAM_END : status == Z_OK) && stream.avail_in == 0 &&
               stream.avail_out > 0;
    piece.out.resize(piece.out.size() - stream.avail_out);
    deflateEnd(&stream);
}

// Fills buffer from in up to its size; the bytes read, or -1.
ssize_t readFull(int in, std::vector<unsigned char>& buffer)
{
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(in, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

} // namespace

bool ParallelDeflate::compress(int in, int out, int level, Result& result, std::string& error)
{
    result = {};
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<Piece> pieces(threads);
    std::vector<unsigned char> dictionary;
    // One piece read ahead tells whether the pieces in hand end the file.
    std::vector<unsigned char> next(PieceSize);
    ssize_t nextSize = readFull(in, next);
    bool ended = false;
    while (!ended) {
        size_t count = 0;
        while (count < threads && nextSize > 0) {
            next.resize(size_t(nextSize));
            pieces[count].in.swap(next);
            ++count;
            next.resize(PieceSize);
            nextSize = readFull(in, next);
        }
        if (nextSize < 0) {
            error = "cannot read the file to compress: " + errnoText(errno);
            return false;
        }
        ended = nextSize == 0;
        // A file without bytes is one empty final block.
        if (count == 0)
            pieces[count++].in.clear();
        std::vector<std::thread> workers;
        for (size_t i = 0; i < count; ++i) {
            const std::vector<unsigned char>& before = i == 0 ? dictionary : pieces[i - 1].in;
            const size_t size = std::min(before.size(), Window);
            const unsigned char* window = before.data() + before.size() - size;
            const bool last = ended && i + 1 == count;
            if (i + 1 == count)
                deflatePiece(pieces[i], window, size, level, last);
            else
                workers.emplace_back([&pieces, i, window, size, level, last] {
                    deflatePiece(pieces[i], window, size, level, last);
                });
        }
        for (std::thread& worker : workers)
            worker.join();
        for (size_t i = 0; i < count; ++i) {
            const Piece& piece = pieces[i];
            if (!piece.ok) {
                error = "cannot compress the file";
                return false;
            }
            if (!writeAll(out, piece.out.data(), piece.out.size())) {
                error = "cannot write the compressed file: " + errnoText(errno);
                return false;
            }
            result.crc = uint32_t(crc32_combine(result.crc, piece.crc, z_off_t(piece.in.size())));
            result.size += piece.in.size();
            result.compressedSize += piece.out.size();
        }
        const std::vector<unsigned char>& last = pieces[count - 1].in;
        dictionary.assign(last.end() - std::ptrdiff_t(std::min(last.size(), Window)), last.end());
    }
    return true;
}

} // namespace zlk
