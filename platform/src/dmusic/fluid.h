// dmusic/fluid.h: FluidSynth as the MIDI player reaches it: one table of the functions it
// calls, filled with dlopen/dlsym when the first song is checked or started, so a process
// that plays no MIDI never loads FluidSynth (and its sixty-odd dependencies). The header
// stays included for the types and constants. Any thread.
#pragma once

#include <fluidsynth.h>

// Every FluidSynth function the player calls.
#define QZ_FLUID_FUNCTIONS(X)         \
    X(new_fluid_settings)             \
    X(delete_fluid_settings)          \
    X(fluid_settings_setstr)          \
    X(fluid_settings_setint)          \
    X(fluid_settings_setnum)          \
    X(fluid_set_log_function)         \
    X(new_fluid_synth)                \
    X(fluid_synth_sfload)             \
    X(fluid_synth_write_float)        \
    X(fluid_synth_all_sounds_off)     \
    X(fluid_synth_system_reset)       \
    X(new_fluid_player)               \
    X(delete_fluid_player)            \
    X(fluid_player_add_mem)           \
    X(fluid_player_set_loop)          \
    X(fluid_player_play)              \
    X(fluid_player_stop)              \
    X(fluid_player_get_status)        \
    X(fluid_player_get_current_tick)  \
    X(fluid_player_get_total_ticks)

namespace midi {

struct FluidFunctions {
#define QZ_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
    QZ_FLUID_FUNCTIONS(QZ_FLUID_MEMBER)
#undef QZ_FLUID_MEMBER
};

// The table. Filled once LoadFluid has returned true, and never emptied: every synthesizer
// and player was made after a successful load.
extern FluidFunctions g_fluid;

// Loads FluidSynth and fills the table at the first call; false when the library or a
// function is missing, then and at every later call, with one line on standard error.
// Fault "MidiLibrary": the first load finds no library.
bool LoadFluid();

}  // namespace midi
