#include "passes/engine/readahead.h"

#include <algorithm>
#include <utility>

namespace pctlfit {

namespace {

// Blocks waiting per file: enough to keep a worker busy while the next is decompressed.
constexpr size_t kBlocksWaiting = 16;

// The next file to take up, once the window allows; nullptr when there is none or on stop.
ReadaheadFile* claim_file(Readahead& readahead, size_t& file) {
  std::unique_lock lock(readahead.mutex);
  const size_t count = readahead.entries->size();
  readahead.changed.wait(lock, [&] {
    return readahead.stop || readahead.next_claim >= count ||
           readahead.next_claim < readahead.current + readahead.window;
  });
  if (readahead.stop || readahead.next_claim >= count) return nullptr;
  file = readahead.next_claim++;
  readahead.files[file] = std::make_unique<ReadaheadFile>();
  return readahead.files[file].get();
}

std::string spare_buffer(Readahead& readahead) {
  std::lock_guard lock(readahead.mutex);
  if (readahead.spare_buffers.empty()) return {};
  std::string buffer = std::move(readahead.spare_buffers.back());
  readahead.spare_buffers.pop_back();
  return buffer;
}

// Decompresses (or reads) a file's records into its waiting blocks, never more than
// kBlocksWaiting ahead, until its end, a failure or a stop.
void stream_records(Readahead& readahead, LineSplitter& splitter, ReadaheadFile& file,
                    const std::string& path) {
  const size_t block_size = readahead.block_size;
  uint64_t reported = splitter.stream.bytes_read;
  for (;;) {
    DecodedBlock block{spare_buffer(readahead), 0, 0};
    const bool read =
        read_block(splitter, block.bytes, block.length, block_size, readahead.longest_line);
    block.file_bytes = splitter.stream.bytes_read - reported;
    reported = splitter.stream.bytes_read;
    std::unique_lock lock(readahead.mutex);
    if (!read) {
      if (read_failed(splitter)) {
        file.error = stream_error(splitter, InputErrorKind::data_cannot_read, path);
      }
      file.ended = true;
      file.end_bytes = block.file_bytes;
      readahead.changed.notify_all();
      return;
    }
    file.blocks.push_back(std::move(block));
    readahead.changed.notify_all();
    readahead.changed.wait(lock,
                           [&] { return readahead.stop || file.blocks.size() < kBlocksWaiting; });
    if (readahead.stop) return;
  }
}

void read_ahead(Readahead& readahead) {
  LineSplitter splitter;
  Line header;
  size_t index = 0;
  while (ReadaheadFile* file = claim_file(readahead, index)) {
    const std::string& path = (*readahead.entries)[index];
    FileOpening opening =
        open_listed_file(splitter, path, header, readahead.read_at_offsets, readahead.layout);
    const bool streamed = !failed(opening.error) && opening.has_records && !opening.positioned;
    {
      std::lock_guard lock(readahead.mutex);
      file->opening = std::move(opening);
      file->opened = true;
      file->ended = !streamed;
      readahead.changed.notify_all();
    }
    if (streamed) stream_records(readahead, splitter, *file, path);
    close_splitter(splitter);
  }
  close_splitter(splitter);
}

}  // namespace

void start_readahead(Readahead& readahead, int threads) {
  readahead.files.resize(readahead.entries->size());
  readahead.window = static_cast<size_t>(std::max(threads, 1)) + 1;
  for (int t = 0; t < threads; ++t) readahead.threads.emplace_back(read_ahead, std::ref(readahead));
}

void stop_readahead(Readahead& readahead) {
  {
    std::lock_guard lock(readahead.mutex);
    readahead.stop = true;
    readahead.changed.notify_all();
  }
  for (std::thread& thread : readahead.threads) thread.join();
  readahead.threads.clear();
  readahead.files.clear();
}

FileOpening take_opening(Readahead& readahead, size_t file) {
  std::unique_lock lock(readahead.mutex);
  readahead.changed.wait(
      lock, [&] { return readahead.files[file] != nullptr && readahead.files[file]->opened; });
  return std::move(readahead.files[file]->opening);
}

DecodedItem take_decoded(Readahead& readahead, size_t file, DecodedBlock& block,
                         InputError& error) {
  std::unique_lock lock(readahead.mutex);
  ReadaheadFile& waiting = *readahead.files[file];
  readahead.changed.wait(lock, [&] { return !waiting.blocks.empty() || waiting.ended; });
  if (waiting.blocks.empty()) {
    block.file_bytes = waiting.end_bytes;
    error = waiting.error;
    return failed(error) ? DecodedItem::failure : DecodedItem::end;
  }
  std::string old = std::move(block.bytes);
  block = std::move(waiting.blocks.front());
  waiting.blocks.pop_front();
  if (!old.empty() && readahead.spare_buffers.size() < 2 * readahead.window * kBlocksWaiting) {
    readahead.spare_buffers.push_back(std::move(old));
  }
  readahead.changed.notify_all();
  return DecodedItem::block;
}

void leave_file(Readahead& readahead, size_t file) {
  std::lock_guard lock(readahead.mutex);
  readahead.files[file].reset();
  readahead.current = file + 1;
  readahead.changed.notify_all();
}

}  // namespace pctlfit
