"""Boards held by objects of their own: two simulated boards captured at once from two threads
each give their own seed's codes, as each gives them alone; a board made again (a notebook cell
run twice) is a fresh one."""
import threading
import time

import numpy as np

import kx3105

COUNT = 200_000


def alone(seed):
    with kx3105.Board(simulate=True, sim_seed=seed, sim_tone=(0, 7.0, 300.0)) as board:
        return np.asarray(board.capture(COUNT, rate=105.03).codes)


def test_two_boards_capture_at_once_each_its_own_codes():
    boards = {seed: kx3105.Board(simulate=True, sim_seed=seed, sim_tone=(0, 7.0, 300.0))
              for seed in (11, 12)}
    runs, spans = {}, {}
    start = threading.Barrier(2)

    def capture(seed):
        start.wait()
        began = time.monotonic()
        runs[seed] = np.asarray(boards[seed].capture(COUNT, rate=105.03).codes)
        spans[seed] = (began, time.monotonic())

    threads = [threading.Thread(target=capture, args=(seed,)) for seed in boards]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for board in boards.values():
        board.close()

    # They ran at the same time (the GIL is released during a capture) ...
    (a0, a1), (b0, b1) = spans[11], spans[12]
    assert a0 < b1 and b0 < a1
    # ... and each gave what its seed gives alone.
    for seed in boards:
        np.testing.assert_array_equal(runs[seed], alone(seed))
    assert not np.array_equal(runs[11], runs[12])


def test_a_board_made_again_is_a_fresh_board():
    first = kx3105.Board(simulate=True)
    first.configure(range="20mV")
    again = kx3105.Board(simulate=True)
    assert again.read("adc-control") == 0x07
    assert first.read("adc_control") == 0x00
    first.close()
    again.close()
