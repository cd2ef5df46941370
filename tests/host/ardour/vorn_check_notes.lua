-- A note source for the scripted Ardour session: the phrase of phrase.py at fixed session
-- samples, so that the export can be compared with `vorn render` of the same notes.
ardour { ["type"] = "dsp", name = "Vorn Check Notes", category = "Utility", license = "MIT",
         author = "Vorn", description = [[Plays a fixed phrase at fixed session positions.]] }

function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = -1, audio_out = -1 } } end

-- Session sample (at 48 kHz), status, note, velocity; the same as phrase.py.
local phrase = {
  { 4800, 0x90, 60, 100 }, { 4800, 0x90, 64, 90 }, { 28800, 0x90, 67, 80 },
  { 52800, 0x80, 64, 0 }, { 72000, 0x80, 60, 0 }, { 76800, 0x90, 48, 110 },
  { 96000, 0x80, 67, 0 }, { 120000, 0x80, 48, 0 },
}

function dsp_run (_, _, n_samples)
  assert (type (midiout) == "table")
  if not Session:transport_rolling () then return end
  local pos = Session:transport_sample ()
  local m = 1
  for _, e in ipairs (phrase) do
    if e[1] >= pos and e[1] < pos + n_samples then
      midiout[m] = { time = e[1] - pos + 1, data = { e[2], e[3], e[4] } }
      m = m + 1
    end
  end
end
