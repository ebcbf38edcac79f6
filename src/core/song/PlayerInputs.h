#pragma once

// Which library folder the player window shows, and which of its entries to select on opening.
// The library's MidiPlay command fills these before it opens the player.
enum class PlayerMode { CsfSongs, MidiSongs };

struct PlayerInputs
{
    PlayerMode playerMode = PlayerMode::MidiSongs;
    int playerStartIndex = -1;   // outside the list: nothing selected
};
