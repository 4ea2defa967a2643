#include "automation/writers/chunked_deflate.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

// Large enough that the seams (a sync flush, a block restarted) cost nothing measurable in
// size, small enough that a sheet of a few megabytes still keeps two cores busy.
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
// Deflate's window: no match reaches further back.
constexpr std::size_t kWindowBytes = 32 * 1024;

struct Job {
  TextBuffer input;
  // Makes the input on a worker; empty when Write filled it.
  ChunkedDeflate::Producer produce;
  // The job before in the stream: the last 32 KiB of its input prime this one's compression.
  const Job* previous = nullptr;
  bool last = false;
  // Set by whoever compresses the job, read once `done`.
  std::string output;
  std::uint32_t crc = 0;
  std::exception_ptr error;
  bool produced = false;  // guarded by the pool's mutex, as `done`
  bool done = false;
};

// On sheet XML three times as fast as zlib's fastest level, its output 5% smaller
// (chunked_deflate.h has the figures).
constexpr std::uint32_t kLevel = 2;
constexpr std::uint32_t kLevelBufferBytes = ISAL_DEF_LVL2_DEFAULT;

void Check(int result) {
  if (result != COMP_OK) {
    throw WriteFailure("压缩数据时出错（错误 " + std::to_string(result) + "）");
  }
}

// One igzip stream state with its level's work space, reused chunk after chunk.
class Deflater {
 public:
  Deflater() : level_buffer_(kLevelBufferBytes) {}

  void Compress(Job& job) {
    isal_deflate_init(&stream_);
    stream_.level = kLevel;
    stream_.level_buf = level_buffer_.data();
    stream_.level_buf_size = kLevelBufferBytes;
    if (job.previous != nullptr && !job.previous->input.empty()) {
      const std::string_view before = job.previous->input.view();
      const std::string_view dictionary = before.substr(before.size() - std::min(before.size(), kWindowBytes));
      Check(isal_deflate_set_dict(&stream_, Bytes(dictionary),
                                  static_cast<std::uint32_t>(dictionary.size())));
    }
    stream_.next_in = Bytes(job.input);
    stream_.avail_in = static_cast<std::uint32_t>(job.input.size());
    stream_.end_of_stream = job.last ? 1 : 0;
    stream_.flush = job.last ? NO_FLUSH : SYNC_FLUSH;
    if (job.output.empty()) job.output.resize(job.input.size() / 4 + 1024);
    std::size_t produced = 0;
    while (true) {
      if (produced == job.output.size()) job.output.resize(job.output.size() * 2);
      stream_.next_out = Bytes(job.output) + produced;
      stream_.avail_out = static_cast<std::uint32_t>(job.output.size() - produced);
      Check(isal_deflate(&stream_));
      produced = job.output.size() - stream_.avail_out;
      // Everything is out, sync flush included, once igzip leaves room in the output.
      const bool done = job.last ? stream_.internal_state.state == ZSTATE_END
                                 : stream_.avail_in == 0 && stream_.avail_out != 0;
      if (done) break;
    }
    job.output.resize(produced);
    job.crc = crc32_gzip_refl(0, Bytes(job.input), job.input.size());
  }

 private:
  // igzip takes no const input, though it only reads it.
  static std::uint8_t* Bytes(std::string_view bytes) {
    return reinterpret_cast<std::uint8_t*>(const_cast<char*>(bytes.data()));
  }
  static std::uint8_t* Bytes(const TextBuffer& bytes) { return Bytes(bytes.view()); }
  static std::uint8_t* Bytes(std::string& bytes) {
    return reinterpret_cast<std::uint8_t*>(bytes.data());
  }
  std::vector<std::uint8_t> level_buffer_;
  isal_zstream stream_{};
};

}  // namespace

// One thread writing XML keeps about two workers busy (igzip compresses as fast as the XML is
// written); more would only hold more chunks in memory.
constexpr unsigned kMostWorkers = 4;

unsigned DefaultDeflateThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

class ChunkedDeflate::Pool {
 public:
  Pool(Sink sink, unsigned threads)
      : sink_(std::move(sink)), max_in_flight_(std::size_t{threads} + 1) {
    try {
      for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // Fewer workers, or none: the calling thread then compresses itself.
    }
  }

  ~Pool() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  void Write(std::string_view data) {
    while (!data.empty()) {
      const std::size_t take = std::min(data.size(), kChunkBytes - current_->input.size());
      current_->input.Put(data.substr(0, take));
      data.remove_prefix(take);
      if (current_->input.size() == kChunkBytes) Submit(false);
    }
  }

  void Produce(Producer produce) {
    if (!current_->input.empty()) Submit(false);
    current_->produce = std::move(produce);
    Submit(false);
  }

  Totals Finish() {
    Submit(true);
    HandOver(0);
    return totals_;
  }

 private:
  void Submit(bool last) {
    std::unique_ptr<Job> job = std::exchange(current_, TakeSpare());
    job->last = last;
    job->previous = last_submitted_;
    job->produced = !job->produce;
    last_submitted_ = job.get();
    Job& submitted = *job;
    if (workers_.empty()) {
      Process(own_deflater_, submitted);
      submitted.done = true;
      jobs_.push_back(std::move(job));
    } else {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
      waiting_.push_back(&submitted);
      changed_.notify_all();
    }
    HandOver(max_in_flight_);
  }

  // Makes the job's input if a producer is to, then compresses it once the job before has its
  // input too. Workers take jobs in the stream's order, so the job before is being made or is
  // made: the wait ends.
  void Process(std::optional<Deflater>& deflater, Job& job) {
    try {
      if (job.produce) {
        job.produce(job.input);
        job.produce = nullptr;
        std::lock_guard lock(mutex_);
        job.produced = true;
        changed_.notify_all();
      }
      if (job.previous != nullptr) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&job] { return job.previous->produced; });
      }
      if (!deflater) deflater.emplace();
      deflater->Compress(job);
    } catch (...) {
      job.error = std::current_exception();
      std::lock_guard lock(mutex_);
      job.produced = true;  // its input is cut short, but the stream ends at its error anyway
      changed_.notify_all();
    }
  }

  // Hands the finished jobs at the front to the sink, in order, waiting until no more than
  // `keep` remain.
  void HandOver(std::size_t keep) {
    while (!jobs_.empty()) {
      {
        std::unique_lock lock(mutex_);
        if (!jobs_.front()->done) {
          if (jobs_.size() <= keep) return;
          changed_.wait(lock, [this] { return jobs_.front()->done; });
        }
      }
      // The job before this one is done with: this one, compressed, no longer reads its input.
      // This one stays until the next is done, even when it ends the stream with an error.
      if (handed_over_) spare_.push_back(std::move(handed_over_));
      handed_over_ = std::move(jobs_.front());
      jobs_.pop_front();
      const Job& job = *handed_over_;
      if (job.error) std::rethrow_exception(job.error);
      sink_(job.output);
      totals_.crc = static_cast<std::uint32_t>(
          crc32_combine(totals_.crc, job.crc, static_cast<z_off_t>(job.input.size())));
      totals_.size += job.input.size();
    }
  }

  // A job to fill, with the buffers of one handed over before: the same few megabytes serve
  // the whole entry rather than being freed and faulted in anew chunk after chunk.
  std::unique_ptr<Job> TakeSpare() {
    if (spare_.empty()) {
      auto job = std::make_unique<Job>();
      job->input.Reserve(kChunkBytes);
      return job;
    }
    std::unique_ptr<Job> job = std::move(spare_.back());
    spare_.pop_back();
    job->input.clear();
    job->previous = nullptr;
    job->output.clear();
    job->last = false;
    job->produced = false;
    job->done = false;
    return job;
  }

  void Work() {
    std::optional<Deflater> deflater;
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return stopped_ || !waiting_.empty(); });
      if (stopped_) return;
      Job& job = *waiting_.front();
      waiting_.pop_front();
      lock.unlock();
      Process(deflater, job);
      lock.lock();
      job.done = true;
      changed_.notify_all();
    }
  }

  Sink sink_;
  std::size_t max_in_flight_;
  std::vector<std::unique_ptr<Job>> spare_;
  std::unique_ptr<Job> current_ = TakeSpare();
  const Job* last_submitted_ = nullptr;
  // Handed over last; kept until the job after it is handed over, having read its input.
  std::unique_ptr<Job> handed_over_;
  std::optional<Deflater> own_deflater_;
  Totals totals_;
  // Jobs submitted and not yet handed over, in the stream's order; only this thread changes
  // the deque, the workers change the jobs in it.
  std::deque<std::unique_ptr<Job>> jobs_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job*> waiting_;  // submitted, not yet taken by a worker
  bool stopped_ = false;
  std::vector<std::thread> workers_;  // last: started once everything they use exists
};

ChunkedDeflate::ChunkedDeflate(Sink sink, unsigned threads)
    : pool_(std::make_unique<Pool>(std::move(sink), threads)) {}

ChunkedDeflate::~ChunkedDeflate() = default;

void ChunkedDeflate::Write(std::string_view data) { pool_->Write(data); }

void ChunkedDeflate::Produce(Producer produce) { pool_->Produce(std::move(produce)); }

ChunkedDeflate::Totals ChunkedDeflate::Finish() { return pool_->Finish(); }

}  // namespace tavrio::automation::writers
