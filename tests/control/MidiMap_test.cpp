// MIDI: sequencer events as the program reads them (synthesized: CI has no sequencer), learning, what a
// bound controller or note asks for, and midi.ini.
#include "control/MidiInput.h"
#include "control/MidiMap.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

namespace {

snd_seq_event_t SequencerEvent(snd_seq_event_type_t type, int channel, int number, int value) {
    snd_seq_event_t event{};
    event.type = type;
    if (type == SND_SEQ_EVENT_CONTROLLER) {
        event.data.control.channel = uint8_t(channel);
        event.data.control.param = unsigned(number);
        event.data.control.value = value;
    } else {
        event.data.note.channel = uint8_t(channel);
        event.data.note.note = uint8_t(number);
        event.data.note.velocity = uint8_t(value);
    }
    return event;
}

TMidiEvent CC(int channel, int number, int value) {
    return {TMidiEvent::TType::Controller, channel, number, value};
}
TMidiEvent NoteOn(int channel, int number, int velocity = 100) {
    return {TMidiEvent::TType::NoteOn, channel, number, velocity};
}

TEST(MidiEventFromSequencer, ControllersAndNotesOnlyInTheirRanges) {
    const auto cc = MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_CONTROLLER, 3, 74, 127));
    ASSERT_TRUE(cc);
    EXPECT_EQ(cc->Type, TMidiEvent::TType::Controller);
    EXPECT_EQ(cc->Channel, 3);
    EXPECT_EQ(cc->Number, 74);
    EXPECT_EQ(cc->Value, 127);
    EXPECT_EQ(MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_CONTROLLER, 0, 1, 1000))->Value, 127);
    EXPECT_EQ(MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_CONTROLLER, 0, 1, -5))->Value, 0);
    EXPECT_FALSE(MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_CONTROLLER, 0, 300, 1)));

    const auto on = MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_NOTEON, 9, 36, 90));
    ASSERT_TRUE(on);
    EXPECT_EQ(on->Type, TMidiEvent::TType::NoteOn);
    EXPECT_EQ(on->Channel, 9);
    EXPECT_EQ(MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_NOTEON, 9, 36, 0))->Type,
              TMidiEvent::TType::NoteOff)
        << "velocity 0 is a release";
    EXPECT_EQ(MidiEventFromSequencer(SequencerEvent(SND_SEQ_EVENT_NOTEOFF, 9, 36, 64))->Type,
              TMidiEvent::TType::NoteOff);

    for (const auto type : {SND_SEQ_EVENT_CLOCK, SND_SEQ_EVENT_PORT_UNSUBSCRIBED, SND_SEQ_EVENT_SYSEX,
                            SND_SEQ_EVENT_PITCHBEND, SND_SEQ_EVENT_CLIENT_EXIT})
        EXPECT_FALSE(MidiEventFromSequencer(SequencerEvent(type, 0, 0, 0))) << int(type);
}

TEST(MidiMap, ALearnedControllerMovesItsComponentOverTheWholeRange) {
    TMidiMap map;
    EXPECT_FALSE(map.Handle(CC(0, 74, 64))) << "nothing bound yet";
    map.Learn({2, false, "amount", 1});
    bool learned = false;
    EXPECT_FALSE(map.Handle(NoteOn(0, 60), &learned)) << "a parameter learns no note";
    EXPECT_FALSE(learned);
    EXPECT_FALSE(map.Handle(CC(4, 74, 10), &learned));
    EXPECT_TRUE(learned);
    EXPECT_FALSE(map.IsLearning());

    struct TCase {
        int Value;
        float Want;
    };
    for (const TCase& c : {TCase{0, 0.0f}, TCase{127, 1.0f}, TCase{64, 64.0f / 127.0f}}) {
        const auto command = map.Handle(CC(4, 74, c.Value));
        ASSERT_TRUE(command);
        EXPECT_EQ(command->Kind, TControlCommand::TKind::SetParam);
        EXPECT_EQ(command->Slot, 2);
        EXPECT_EQ(command->Name, "amount");
        EXPECT_EQ(command->Component, 1);
        EXPECT_EQ(command->Count, 1);
        EXPECT_EQ(command->Values[0], c.Want);
    }
    EXPECT_FALSE(map.Handle(CC(5, 74, 1))) << "another channel";
    EXPECT_FALSE(map.Handle(CC(4, 75, 1))) << "another controller";

    // Learning the same controller for another target moves the binding; forgetting removes it.
    map.Learn({3, false, "mix", 0});
    map.Handle(CC(4, 74, 1));
    ASSERT_EQ(map.Bindings.size(), 1u);
    EXPECT_EQ(map.Handle(CC(4, 74, 1))->Slot, 3);
    EXPECT_TRUE(map.Forget({3, false, "MIX", 0}));
    EXPECT_FALSE(map.Forget({3, false, "mix", 0}));
    EXPECT_FALSE(map.Handle(CC(4, 74, 1)));
}

TEST(MidiMap, ALearnedNoteFlipsTheSlotSwitch) {
    TMidiMap map;
    map.Learn({5, true, {}, 0});
    EXPECT_FALSE(map.Handle({TMidiEvent::TType::NoteOff, 9, 36, 0})) << "a release teaches nothing";
    EXPECT_TRUE(map.IsLearning());
    map.Handle(NoteOn(9, 36));
    ASSERT_TRUE(map.IsBound({5, true, {}, 0}));
    const auto press = map.Handle(NoteOn(9, 36));
    ASSERT_TRUE(press);
    EXPECT_EQ(press->Kind, TControlCommand::TKind::ToggleActive);
    EXPECT_EQ(press->Slot, 5);
    EXPECT_FALSE(map.Handle({TMidiEvent::TType::NoteOff, 9, 36, 0}));
}

TEST(MidiMap, BindingsComeBackFromMidiIniAndBadLinesAreSkipped) {
    TTempFolder folder;
    const std::string path = folder.Path() + "/midi.ini";
    TMidiMap map;
    map.Bindings = {{false, 0, 74, {1, false, "amount", 0}}, {true, 9, 36, {3, true, {}, 0}}};
    map.Save(path);
    EXPECT_EQ(ReadTextFile(path), "[midi]\r\ncc_1_74=1 amount 1\r\nnote_10_36=3 active\r\n");
    TMidiMap back;
    back.Load(path);
    ASSERT_EQ(back.Bindings.size(), 2u);
    EXPECT_EQ(back.Handle(CC(0, 74, 127))->Name, "amount");
    EXPECT_EQ(back.Handle(NoteOn(9, 36))->Slot, 3);

    WriteTextFile(path, "[midi]\ncc_1_74=1 amount 1\ncc_17_1=1 a 1\ncc_1_128=1 a 1\ncc_1_2=9 a 1\n"
                        "cc_1_3=1 a 5\nnote_1_4=1 a 1\nxx_1_5=1 a 1\ncc_1_6=\ncc_1=1 a 1\ncc_1_7=1 active\n");
    back.Load(path);
    ASSERT_EQ(back.Bindings.size(), 2u);
    EXPECT_TRUE(back.Bindings[1].Target.Switch);
    back.Load(folder.Path() + "/missing.ini");
    EXPECT_TRUE(back.Bindings.empty());
    EXPECT_EQ(MidiFilePath("/home/u/.config/Quorvale/Lumatex/V1/settings.reg"),
              "/home/u/.config/Quorvale/Lumatex/V1/midi.ini");
}

TEST(MidiInput, WithoutASequencerOpenFailsWithAReason) {
    TMidiInput input([](const TMidiEvent&) {});
    std::string error;
    if (input.Open(error)) {
        EXPECT_TRUE(input.IsOpen());
        input.Close();
        EXPECT_FALSE(input.IsOpen());
        GTEST_SKIP() << "this machine has a sequencer";
    }
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(input.IsOpen());
}

} // namespace
