#pragma once

#include <array>
#include <vector>

// One row per register the window shows in a field of its own: its edit or
// box, the button that writes it, its label, unit and note, their texts,
// and whether only the factory version shows it. Binding, showing values,
// marks, busy buttons, text refresh and button bindings all go by it.
struct SField {
    int index;       // register index (register - 10)
    int control;     // the edit, or the box of a coded register
    int button;      // Modify, Set, or the sampling Read button
    int label;       // its label control
    int unit;        // the unit label beside it; 0: none
    int note;        // the note below it; 0: none
    int noteText;    // the note's text id (the label's is the register's)
    int buttonText;  // the button's text while no write is under way
    bool sample;     // the button reads the live input first (its text follows sampling)
    bool factoryOnly;
};

inline constexpr int kFieldCount = 10;
extern const std::array<SField, kFieldCount> kFields;

// Null when register `index` has no field / no write operation `code`.
const SField* FieldOfIndex(int index);
const SField* FieldOfCode(int code);

// Controls enabled only while the device is online: every field and its
// button. The port box, the baud box, the connect button and the spin
// buttons are never disabled.
std::vector<int> ParameterControls();
// Controls only the factory version shows: the factory fields with their
// labels, units and notes, and the calibration notes and spin buttons.
std::vector<int> FactoryOnlyControls();
// The unit labels beside the fields that have one.
std::vector<int> UnitControls();
