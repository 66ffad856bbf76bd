#pragma once
// A worker's sink that records what it was handed, for tests that watch the worker directly.
// Without a dispatcher the worker calls it on its own thread; the waits are bounded so that a
// failing run ends.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "uDeviceWorker.h"

class RecordingSink final : public IKaVruneSink {
 public:
  void DeliverReadDocument(const TXmlElement& root) override {
    std::lock_guard g(lock_);
    documents_.push_back(root);
    changed_.notify_all();
  }
  void ShowMessage(const std::string& text) override {
    std::lock_guard g(lock_);
    messages_.push_back(text);
    changed_.notify_all();
  }
  void WorkerFailed(const std::string& error) override { ShowMessage("worker: " + error); }
  void Progress(const TWorkProgress& progress) override {
    std::lock_guard g(lock_);
    progress_.push_back(progress);
  }
  void WriteFinished(const TWriteReport& report) override {
    std::lock_guard g(lock_);
    reports_.push_back(report);
    changed_.notify_all();
  }

  bool WaitDocuments(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    std::unique_lock g(lock_);
    return changed_.wait_for(g, limit, [&] { return documents_.size() >= n; });
  }
  bool WaitReports(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock g(lock_);
    return changed_.wait_for(g, limit, [&] { return reports_.size() >= n; });
  }
  TXmlElement Document(size_t i) {
    std::lock_guard g(lock_);
    return documents_.at(i);
  }
  size_t DocumentCount() {
    std::lock_guard g(lock_);
    return documents_.size();
  }
  TWriteReport Report(size_t i) {
    std::lock_guard g(lock_);
    return reports_.at(i);
  }
  std::vector<TWorkProgress> Steps() {
    std::lock_guard g(lock_);
    return progress_;
  }
  std::vector<std::string> Messages() {
    std::lock_guard g(lock_);
    return messages_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<TXmlElement> documents_;
  std::vector<std::string> messages_;
  std::vector<TWriteReport> reports_;
  std::vector<TWorkProgress> progress_;
};
