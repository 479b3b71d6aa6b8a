// A thread of the agent beside its main loop: it waits for a file
// descriptor, a wake-up or a timeout, and ends when stopped.
#ifndef TAVREL_AGENT_WORKER_H
#define TAVREL_AGENT_WORKER_H

#include <functional>
#include <thread>

class DhcpCompWorker {
 public:
  enum Event { kStopped, kWoken, kReadable, kTimedOut };

  DhcpCompWorker() = default;
  DhcpCompWorker(const DhcpCompWorker&) = delete;
  DhcpCompWorker& operator=(const DhcpCompWorker&) = delete;
  ~DhcpCompWorker() { stop(); }

  // Runs body on a new thread; 0, or the error number.
  int start(std::function<void(DhcpCompWorker&)> body);
  // Ends the wait the body is in (and every later one) and joins the thread.
  void stop();
  // Makes the body's current or next wait return kWoken.
  void wake();
  // Waits up to timeoutMs (-1: no limit) for fd (-1: none) to be readable,
  // a wake-up or the stop.
  Event wait(int fd, int timeoutMs);

 private:
  int m_stop[2] = {-1, -1};
  int m_wake[2] = {-1, -1};
  std::thread m_thread;
};

#endif
