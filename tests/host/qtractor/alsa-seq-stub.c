/* Preloaded into qtractor where the ALSA sequencer (/dev/snd/seq) is missing, as in containers:
 * its MIDI engine then starts, so the session loads. One client that takes every event and
 * delivers none; calls that only fill structures stay libasound's own. The definitions without
 * prototypes take whatever arguments the callers pass. */
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#define ANSWER(name, value) \
    int name() { return value; }
ANSWER(snd_seq_close, 0)
ANSWER(snd_seq_set_client_name, 0)
ANSWER(snd_seq_delete_simple_port, 0)
ANSWER(snd_seq_free_queue, 0)
ANSWER(snd_seq_control_queue, 0)
ANSWER(snd_seq_drain_output, 0)
ANSWER(snd_seq_drop_input, 0)
ANSWER(snd_seq_drop_output, 0)
ANSWER(snd_seq_event_input_pending, 0)
ANSWER(snd_seq_event_output, 0)
ANSWER(snd_seq_event_output_direct, 0)
ANSWER(snd_seq_remove_events, 0)
ANSWER(snd_seq_subscribe_port, 0)
ANSWER(snd_seq_unsubscribe_port, 0)
ANSWER(snd_seq_set_port_info, 0)
ANSWER(snd_seq_set_queue_tempo, 0)
ANSWER(snd_seq_set_queue_timer, 0)
ANSWER(snd_seq_client_id, 128)
ANSWER(snd_seq_event_input, -EAGAIN)
/* No other clients or ports, and none subscribed. */
ANSWER(snd_seq_get_any_client_info, -ENOENT)
ANSWER(snd_seq_get_any_port_info, -ENOENT)
ANSWER(snd_seq_query_next_client, -ENOENT)
ANSWER(snd_seq_query_next_port, -ENOENT)
ANSWER(snd_seq_query_port_subscribers, -ENOENT)
ANSWER(snd_seq_poll_descriptors_count, 1)

static int handle, never[2] = {-1, -1}, ports, queues;
size_t snd_seq_port_info_sizeof(void);
size_t snd_seq_queue_status_sizeof(void);

int snd_seq_open(void **seq) {
    if (never[0] < 0 && pipe(never) != 0) return -errno;
    *seq = &handle;
    return 0;
}
int snd_seq_create_simple_port() { return ports++; }
int snd_seq_alloc_queue() { return queues++; }
int snd_seq_get_port_info(void *seq, int port, void *info) {
    memset(info, 0, snd_seq_port_info_sizeof());
    return 0;
}
int snd_seq_get_queue_status(void *seq, int queue, void *status) {
    memset(status, 0, snd_seq_queue_status_sizeof());
    return 0;
}
/* The kernel's layout, which libasound's accessors read: 120 BPM, no skew. */
int snd_seq_get_queue_tempo(void *seq, int queue, unsigned *tempo) {
    memset(tempo, 0, 40);
    tempo[0] = queue, tempo[1] = 500000, tempo[2] = 96, tempo[3] = tempo[4] = 0x10000;
    return 0;
}
/* A pipe nobody writes to: the input thread waits on it for ever. */
int snd_seq_poll_descriptors(void *seq, struct pollfd *fds, unsigned space) {
    if (space < 1) return 0;
    fds[0] = (struct pollfd){never[0], POLLIN, 0};
    return 1;
}
