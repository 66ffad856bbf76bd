#!/usr/bin/env python3
"""The shipped example playbook against two simulated units, as a station would run it.

Check mode writes nothing, the first run changes both units, the second changes nothing, and
the units then hold the values; a refused value fails with the tool's message, a password
never shows in the output nor on the tool's command line, and a settings file is applied. Ansible runs with everything it keeps inside the work folder.
"""

import argparse
import ctypes
import json
import os
import py_compile
import re
import shutil
import signal
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CONTRIB = os.path.join(ROOT, 'contrib', 'ansible')
MODULE = os.path.join(CONTRIB, 'library', 'kavrune_settings.py')
UNITS = {'line-unit-11': ('COM7', '020000000B11', '10.0.0.11'), 'line-unit-12': ('COM8', '020000000B12', '10.0.0.12')}
PASSWORD = 'Zebra42secret'


class Failure(Exception):
    pass


def expect(condition, what, output=''):
    if not condition:
        raise Failure(what + ('\n--- output ---\n' + output if output else ''))


def die_with_parent():
    # A simulator must not outlive a test that ctest stops.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def start_simulator(sim, com, mac, state, env):
    p = subprocess.Popen([sim, '--com', com[3:], '--unpaced', '--mac', mac, '--state', state], env=env,
                         stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True, preexec_fn=die_with_parent)
    for _ in range(2):  # the pty's path, then "ready"
        if p.stdout.readline().startswith('ready'):
            return p
    p.terminate()
    raise Failure('the simulator for %s did not start' % com)


def run(command, env, cwd):
    r = subprocess.run(command, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return r.returncode, r.stdout


def recap(output):
    """host -> (ok, changed, failed) from the play recap."""
    found = re.findall(r'^(\S+)\s+: ok=(\d+)\s+changed=(\d+)\s+unreachable=\d+\s+failed=(\d+)', output, re.M)
    return {host: (int(ok), int(changed), int(failed)) for host, ok, changed, failed in found}


def read_state(path):
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        return f.read()


def main():
    args = argparse.ArgumentParser()
    args.add_argument('--cli', required=True)
    args.add_argument('--sim', required=True)
    args.add_argument('--work', required=True)
    o = args.parse_args()
    o.cli, o.sim = os.path.abspath(o.cli), os.path.abspath(o.sim)
    for program in ('ansible-playbook', 'ansible-doc'):
        expect(shutil.which(program), program + ' is missing: scripts/setup installs ansible-core')

    os.makedirs(o.work, exist_ok=True)
    work = tempfile.mkdtemp(prefix='playbook-', dir=o.work)
    env = {k: v for k, v in os.environ.items() if not k.startswith('ANSIBLE_')}
    for folder in ('com', 'dev', 'home', 'ansible', 'state', 'bin'):
        os.makedirs(os.path.join(work, folder))
    # The tool as the module finds it on PATH, noting every command line it was given: what any
    # user of the station sees in the process list.
    argv_log = os.path.join(work, 'argv.log')
    wrapper = os.path.join(work, 'bin', 'kavrune-cli')
    with open(wrapper, 'w') as f:
        f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\nexec "%s" "$@"\n' % (argv_log, o.cli))
    os.chmod(wrapper, 0o755)
    env.update({
        'KAVRUNE_COM_DIR': os.path.join(work, 'com'),
        'KAVRUNE_DEV_DIR': os.path.join(work, 'dev'),  # none of the machine's own ports
        'HOME': os.path.join(work, 'home'),
        'XDG_STATE_HOME': os.path.join(work, 'state'),
        'PATH': os.path.join(work, 'bin') + os.pathsep + env.get('PATH', '/usr/bin:/bin'),
        'ANSIBLE_HOME': os.path.join(work, 'ansible'),
        'ANSIBLE_LOCAL_TEMP': os.path.join(work, 'ansible', 'tmp'),
        'ANSIBLE_REMOTE_TEMP': os.path.join(work, 'ansible', 'remote-tmp'),
        'ANSIBLE_LIBRARY': os.path.join(CONTRIB, 'library'),
        'ANSIBLE_NOCOLOR': '1',
        'ANSIBLE_RETRY_FILES_ENABLED': '0',
        'ANSIBLE_DEPRECATION_WARNINGS': '0',
    })

    try:
        py_compile.compile(MODULE, cfile=os.path.join(work, 'module.pyc'), doraise=True)
    except py_compile.PyCompileError as e:
        raise Failure('the module does not compile: ' + str(e))
    code, out = run(['ansible-doc', '-t', 'module', 'kavrune_settings'], env, work)
    expect(code == 0 and 'RETURN VALUES' in out and 'check_mode' in out, 'ansible-doc cannot read the module', out)

    states = {host: os.path.join(work, host + '.state') for host in UNITS}
    sims = [start_simulator(o.sim, com, mac, states[host], env) for host, (com, mac, _) in UNITS.items()]
    try:
        playbook = ['ansible-playbook', '-i', os.path.join(CONTRIB, 'inventory.yml'), os.path.join(CONTRIB, 'line.yml')]

        before = {host: read_state(path) for host, path in states.items()}
        code, out = run(playbook + ['--check', '--diff'], env, work)
        expect(code == 0, 'check mode failed', out)
        expect(all(recap(out).get(h, (0, 0, 0))[1] == 1 for h in UNITS), 'check mode should report changed', out)
        expect('+    "basic_parameters.IP_addr": "10.0.0.11"' in out, 'check mode should show the diff', out)
        expect({h: read_state(p) for h, p in states.items()} == before, 'check mode wrote to a unit', out)

        code, out = run(playbook, env, work)
        expect(code == 0, 'the first run failed', out)
        expect(all(recap(out).get(h) == (1, 1, 0) for h in UNITS), 'the first run should report changed', out)

        code, out = run(playbook, env, work)
        expect(code == 0, 'the second run failed', out)
        expect(all(recap(out).get(h) == (1, 0, 0) for h in UNITS), 'the second run should report ok', out)

        for host, (com, _, ip) in UNITS.items():
            code, out = run([o.cli, 'get', '--port', com, '--quiet', '--format', 'json', 'basic_parameters.IP_addr',
                             'basic_parameters.DHCP_device_name', 'Channel_1.Baudrate', 'Security.SNMP'], env, work)
            expect(code == 0, 'reading ' + com + ' failed', out)
            held = json.loads(out)
            expect(held['basic_parameters'] == {'IP_addr': ip, 'DHCP_device_name': host} and
                   held['Channel_1'] == {'Baudrate': 57600} and held['Security'] == {'SNMP': False},
                   com + ' does not hold the values', out)

        settings_file = os.path.join(work, 'mtu.xml')
        with open(settings_file, 'w') as f:
            f.write('<xml><Expert><MTU_Size>1200</MTU_Size></Expert></xml>')
        code, out = run(['ansible-playbook', '-vvv', '--diff', '-i', os.path.join(CONTRIB, 'inventory.yml'),
                         '-e', 'telnet_password=' + PASSWORD, '-e', 'settings_file=' + settings_file,
                         os.path.join(ROOT, 'tests', 'ansible', 'cases.yml')], env, work)
        expect(code == 0, 'a refusal, a password or a settings file went wrong', out)
        expect(PASSWORD not in out, 'the password shows in the output', out)
        command_lines = read_state(argv_log).decode()
        expect(' set ' in ' ' + command_lines and PASSWORD not in command_lines,
               'the password was on the command line of kavrune-cli', command_lines)
        expect(os.listdir(env['HOME']) == [], 'ansible wrote into HOME', out)
    finally:
        for p in sims:
            p.terminate()
            p.wait()
    shutil.rmtree(work)
    print('ok: check mode, first run, second run, values held, refusal, password masked and off the command '
          'line, settings file')


if __name__ == '__main__':
    try:
        main()
    except Failure as e:
        print('FAILED: ' + str(e), file=sys.stderr)
        sys.exit(1)
