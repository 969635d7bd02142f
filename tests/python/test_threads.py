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


def test_calls_from_two_threads_on_one_session_give_the_same_fits(reports):
    s = varnel.Session()
    s.load(str(reports / "molecule_*.dat"))
    s.states(3)
    s.lock()
    threads = [threading.Thread(target=s.fit, args=(2, 3)) for _ in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    once = varnel.Session()
    once.load(str(reports / "molecule_*.dat"))
    once.states(3)
    once.lock()
    once.fit(2, 3)
    assert s.uncertainty(2, 3) == once.uncertainty(2, 3)
