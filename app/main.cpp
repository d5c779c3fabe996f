#include "app/sim_force.h"
#include "app/sim_main.h"
#include "app/sim_swarm.h"
#include "runtime/frame/startup.h"

int main(int argc, char** argv) {
    sim_force_isa_at_start();  // the force step's instruction set, chosen once before any thread
    frame_options_check = sim_swarm_check_option;
    frame_options_taken = sim_take_options;
    return frame_main(argc, argv, sim_main);
}
