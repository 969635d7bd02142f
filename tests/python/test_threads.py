"""The long calls release the interpreter: other Python threads run while they work."""
import threading
import time

import varnel


def ticks_during(call):
    """How often a Python thread ticked while `call` ran, and how long it ran."""
    ticks, stop = [], threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    thread = threading.Thread(target=tick)
    thread.start()
    time.sleep(0.01)
    start = time.perf_counter()
    call()
    end = time.perf_counter()
    stop.set()
    thread.join()
    return sum(start < t < end for t in ticks), end - start


def test_a_python_thread_runs_while_a_fit_and_its_bootstrap_compute(reports):
    s = varnel.Session()
    s.load(str(reports / "molecule_*.dat"))
    s.states(3)
    s.lock()
    ticks, seconds = ticks_during(lambda: s.fit(1, 2))
    assert seconds > 0.05
    # Holding the interpreter, the call would let the thread tick once at most.
    assert ticks >= 10
