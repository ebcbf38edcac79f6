#pragma once

#include <QStringList>

#include <array>

// Note number -> the 4-character label a note name is stored as ("C3" is "C399").
class NoteNameTable
{
public:
    static constexpr int size = 128;

    // Fills entry n from text n of the note list ("060 C3"): the text from its fifth character,
    // filled up with '9' to 4 characters. Missing texts leave "9999".
    void build(const QStringList &noteListTexts);

    const std::array<char, 4> &entry(int note) const { return entries[static_cast<std::size_t>(note)]; }

private:
    std::array<std::array<char, 4>, size> entries{};
};
