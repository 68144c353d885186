// Says that it has started, then sleeps for the milliseconds it is given.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char* argv[])
{
    std::puts("started");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(argc > 1 ? std::atol(argv[1]) : 0));
    return 0;
}
