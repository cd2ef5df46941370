-- The scripted Ardour session of `make ardour-check`, for ardour7-lua: a MIDI track with Vorn
-- and a note source, a factory preset from Ardour's preset list, Output Volume automation that
-- holds the preset's level to 1.875 s and fades to nothing at 2 s; saved, reopened, exported to
-- $VORN_CHECK_DIR/export.wav.
local dir = os.getenv ("VORN_CHECK_DIR")
local presetName = os.getenv ("VORN_CHECK_PRESET")
local kOutputVolumePort = 2
local kHold = 90000
local kCut = 96000
local kLength = 144000

local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
assert (backend, "no Dummy backend: hide-dummy-backend must be 0")
backend:set_buffer_size (256)

local s = create_session (dir .. "/session", "vorn-check", 48000)
assert (s, "the session could not be made")
local midi = ARDOUR.ChanCount (ARDOUR.DataType.midi (), 1)
local audio = ARDOUR.ChanCount (ARDOUR.DataType.audio (), 2)
local info = ARDOUR.LuaAPI.new_plugin_info ("urn:vorn:synth", ARDOUR.PluginType.LV2)
assert (not info:isnil (), "Ardour does not list urn:vorn:synth")
local presets = 0
for _ in info:get_presets (false):iter () do presets = presets + 1 end
print ("factory presets in Ardour's list:", presets)

local track = s:new_midi_track (midi, audio, false, info, nil, nil, 1, "Vorn",
                                ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal,
                                true, false):front ()
local notes = ARDOUR.LuaAPI.new_luaproc (s, "Vorn Check Notes")
assert (not notes:isnil (), "the note source is missing")
assert (track:add_processor_by_index (notes, 0, nil, true) == 0)
local insert = track:nth_plugin (1):to_insert ()
local plugin = insert:plugin (0)
local preset = plugin:preset_by_label (presetName)
assert (preset and preset.valid, "no preset " .. presetName)
assert (plugin:load_preset (preset), "the preset did not load")

local volume = insert:to_automatable ():automation_control (
  Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, kOutputVolumePort), true)
local level = ARDOUR.LuaAPI.get_plugin_insert_param (insert, kOutputVolumePort, true)
local list = volume:alist ()
list:add (Temporal.timepos_t (0), level, false, true)
list:add (Temporal.timepos_t (kHold), level, false, true)
list:add (Temporal.timepos_t (kCut), 0, false, true)
volume:set_automation_state (ARDOUR.AutoState.Play)
print ("Output Volume", level, "until sample", kHold, "then down to 0 at", kCut)
assert (s:save_state ("", false, false, false, false, false) == 0)
close_session ()

-- Reopened, as a musician finds it the next day.
s = load_session (dir .. "/session", "vorn-check")
assert (s, "the session did not reopen")
track = s:route_by_name ("Vorn"):to_track ()
insert = track:nth_plugin (1):to_insert ()
volume = insert:to_automatable ():automation_control (
  Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, kOutputVolumePort), false)
print ("automation points after reopening:", volume:alist ():size ())
assert (volume:alist ():size () == 3)
local export = s:simple_export ()
export:set_name ("export")
assert (export:set_preset ("5e1d3c2a-7f4b-4c1e-9a6d-0b8e2f4a6c10"), "no export preset")
export:set_folder (dir)
export:set_range (0, kLength)
assert (export:run_export (), "the export failed")
close_session ()
