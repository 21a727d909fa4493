// A process whose main thread ends while another thread goes on for a
// minute: the process runs on, though its main thread reads as a zombie.
#include <pthread.h>
#include <unistd.h>

namespace {
void* SleepAMinute(void*) {
  sleep(60);
  return nullptr;
}
}  // namespace

int main() {
  pthread_t worker;
  if (pthread_create(&worker, nullptr, SleepAMinute, nullptr) != 0) return 1;
  pthread_exit(nullptr);
}
