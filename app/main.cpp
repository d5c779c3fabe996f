#include "app/sim_main.h"
#include "runtime/frame/startup.h"

int main(int argc, char** argv) { return frame_main(argc, argv, sim_main); }
