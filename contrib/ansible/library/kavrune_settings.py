#!/usr/bin/python3
# -*- coding: utf-8 -*-
# The device dialogue lives in kavrune-cli alone: this module only builds its command line and
# reads the JSON object it prints, so the two never disagree on what a device holds. Values go
# to the tool on its standard input, never as arguments, which every user of the node can see.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: kavrune_settings
short_description: Sets the settings of a kaVRUNE serial device server over its serial console
description:
  - Writes settings to a kaVRUNE device on a serial port of the managed node by running
    C(kavrune-cli set -) (for I(settings) and I(secrets), handed over on its standard input, so
    no value shows in the process list) or C(kavrune-cli apply) (for I(src)) with
    C(--format json).
  - Only the settings that differ from what the device reports are written; the device stores
    them and they are checked against a second read. A run that finds nothing to write reports
    C(ok).
  - The device must be powered on, or be powered on within I(timeout) seconds.
version_added: "1.0.0"
options:
  port:
    description:
      - The device's port on the managed node, C(COM<n>) as C(kavrune-cli ports) lists it, or a
        device node such as C(/dev/ttyUSB0).
    type: str
    required: true
  settings:
    description:
      - "Settings by C(Section.Key), with values as C(kavrune-cli read --format text) shows them
        in its last column, for example C(Channel_1.Baudrate: 57600) or
        C(basic_parameters.IP_addr: 10.0.0.11)."
      - A section may also hold its keys, as C(kavrune-cli read --format json) prints them,
        for example C(Channel_1) with C(Baudrate) under it.
      - Booleans are written as C(on) and C(off).
      - Every name and value is checked before the port is opened; a fault changes nothing.
      - Put passwords and keys in I(secrets) instead, which keeps their values out of logs.
    type: dict
  secrets:
    description:
      - Passwords and keys by C(Section.Key), for example
        C(basic_parameters.Enter_new_Password). Written like I(settings), but their values
        never appear in the output.
      - The device never shows a password or key, so each one given is written on every run
        and the task reports C(changed) every time.
    type: dict
  src:
    description:
      - A settings file on the managed node, a backup from C(kavrune-cli read -o) or a write
        document, applied as C(kavrune-cli apply) applies it.
      - Mutually exclusive with I(settings) and I(secrets).
    type: path
  state:
    description:
      - C(present) makes the device hold the values given.
    type: str
    choices: [present]
    default: present
  cli:
    description:
      - The path of C(kavrune-cli). By default it is looked up on the C(PATH) of the managed node.
    type: path
  timeout:
    description:
      - Seconds the whole command may take, waiting for the device included (1 to 3600). A
        write it cuts off is stopped and not stored.
    type: int
    default: 60
extends_documentation_fragment:
  - action_common_attributes
attributes:
  check_mode:
    support: full
    details: Runs C(kavrune-cli) with C(--dry-run), which reads the device and writes nothing.
  diff_mode:
    support: full
    details: Passwords and keys appear as C(********) on both sides.
  platform:
    platforms: posix
notes:
  - The COM numbers are those of the managed node; C(KAVRUNE_COM_DIR) in the task's
    C(environment) points at other links C(comN).
  - A setting the device does not ask for in its present mode is not written; the task then
    fails with status 6 and names it in C(not_asked).
requirements:
  - kavrune-cli on the managed node
author:
  - kaVRUNE setup developers
'''

EXAMPLES = r'''
- name: Golden settings with this unit's own address and DHCP name
  kavrune_settings:
    port: COM7
    settings:
      Channel_1.Baudrate: 57600
      Security.SNMP: false
      basic_parameters.IP_addr: 10.0.0.11
      basic_parameters.DHCP_name: line-unit-11

- name: The telnet password, kept out of logs
  kavrune_settings:
    port: COM7
    secrets:
      basic_parameters.Enter_new_Password: "{{ vault_telnet_password }}"

- name: Restore a backup taken with kavrune-cli read -o
  kavrune_settings:
    port: /dev/ttyUSB0
    src: /srv/kavrune/golden.xml
    timeout: 120
'''

RETURN = r'''
status:
  description: The exit status of kavrune-cli (0 done; 2 a setting it refused, 5 a file it
    refused, nothing sent; 6 the device stored, but did not take or ask for every setting; see
    C(kavrune-cli --help)).
  returned: always
  type: int
  sample: 0
mac:
  description: The MAC address the unit on the port printed about itself, to tell units apart.
  returned: when the device was reached
  type: str
  sample: 02-00-00-8F-1C-2E
firmware:
  description: The software version the unit printed about itself.
  returned: when the device was reached
  type: str
  sample: V1.0.0.1
result:
  description: What kavrune-cli concluded, in its words.
  returned: when the device was reached
  type: str
  sample: 2 settings written and confirmed.
changes:
  description:
    - Every setting that changed (in check mode, would change), as the device reports it before
      and after. Passwords and keys have C(secret) set and C(********) as both values.
  returned: always
  type: list
  elements: dict
  sample: [{"setting": "Channel_1.Baudrate", "from": 9600, "to": 57600}]
not_asked:
  description: Settings not written because the device did not (in check mode, will most
    likely not) ask for them in its present mode.
  returned: always
  type: list
  elements: str
  sample: ["Channel_1.Password"]
not_taken:
  description: Settings written that the device holds otherwise afterwards.
  returned: always
  type: list
  elements: str
  sample: []
'''

import json
import re

from ansible.module_utils.basic import AnsibleModule

MASK = '********'
# What kavrune-cli puts around a message for a person at its command line: its name in front,
# and after a usage error where its help is. Neither means anything in a task's result.
CLI_PREFIX = 'kavrune-cli: '
CLI_HINT = re.compile(r"\s*\(try 'kavrune-cli [^']*--help'\)\s*$")


def message(lines):
    """The tool's messages, one a line, as a task shows them."""
    said = []
    for line in lines:
        line = line.strip()
        if line.startswith(CLI_PREFIX):
            line = line[len(CLI_PREFIX):]
        line = CLI_HINT.sub('', line)
        if line:
            said.append(line)
    return '\n'.join(said)


def shown(value):
    """A value in the form kavrune-cli set takes."""
    if isinstance(value, bool):
        return 'on' if value else 'off'
    if value is None:
        return ''
    return str(value)


def flattened(settings):
    """Section.Key names, from either form: {"Section.Key": value} or, as kavrune-cli read
    --format json prints them, {"Section": {"Key": value}}."""
    for name, value in settings.items():
        if name == 'Unit':
            continue  # what the unit printed about itself; nothing to write
        if isinstance(value, dict):
            for key, inner in value.items():
                yield '%s.%s' % (name, key), inner
        else:
            yield name, value


def command_line(module, cli):
    """The arguments, and what goes to the tool's standard input: the Section.Key=Value lines."""
    p = module.params
    command = [cli, 'apply' if p['src'] else 'set', '--port', p['port'], '--format', 'json', '--quiet',
               '--timeout', str(p['timeout'])]
    if module.check_mode:
        command.append('--dry-run')
    if p['src']:
        return command + [p['src']], None
    named = {}
    for group in ('settings', 'secrets'):
        for name, value in flattened(p[group] or {}):
            if name in named:
                module.fail_json(msg='%s is given twice' % name)
            named[name] = shown(value)
            if '\n' in name + named[name] or '\r' in name + named[name]:
                # One assignment a line: the value itself is not repeated, it may be a password.
                module.fail_json(msg='%s: a value holds a line break, which no setting takes' % name)
    if not named:
        module.fail_json(msg='nothing to write: give settings, secrets or src')
    return command + ['-'], ''.join('%s=%s\n' % (name, value) for name, value in named.items())


def as_diff(changes, port):
    before, after = {}, {}
    for c in changes:
        if c.get('from') is not None:
            before[c['setting']] = c['from']
        if c.get('to') is not None:
            after[c['setting']] = c['to']
    return {'before': before, 'after': after, 'before_header': port, 'after_header': port}


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type='str', required=True),
            settings=dict(type='dict'),
            secrets=dict(type='dict', no_log=True),
            src=dict(type='path'),
            state=dict(type='str', default='present', choices=['present']),
            cli=dict(type='path'),
            timeout=dict(type='int', default=60),
        ),
        mutually_exclusive=[('src', 'settings'), ('src', 'secrets')],
        required_one_of=[('src', 'settings', 'secrets')],
        supports_check_mode=True,
    )
    p = module.params
    if not 1 <= p['timeout'] <= 3600:
        module.fail_json(msg='timeout takes seconds from 1 to 3600')
    cli = p['cli'] or module.get_bin_path('kavrune-cli', required=True)

    command, assignments = command_line(module, cli)
    rc, out, err = module.run_command(command, data=assignments, binary_data=True)
    try:
        answer = json.loads(out)
    except ValueError:
        answer = None
    if not isinstance(answer, dict):
        # Refused before any port opened (a usage error or an unusable file): stderr says why.
        module.fail_json(msg=message(err.splitlines()) or 'kavrune-cli gave no result', status=rc, rc=rc, stderr=err,
                         changed=False, changes=[], not_asked=[], not_taken=[])

    ports = answer.get('ports') or [{}]
    unit = ports[0]
    result = dict(
        changed=bool(answer.get('changed')),
        status=answer.get('status', rc),
        mac=unit.get('mac'),
        firmware=unit.get('firmware'),
        changes=unit.get('diff', []),
        not_asked=unit.get('not_asked', []),
        not_taken=unit.get('not_taken', []),
    )
    if 'result' in unit:
        result['result'] = unit['result']
    if module._diff:
        result['diff'] = as_diff(result['changes'], unit.get('port', p['port']))
    if result['status'] != 0:
        errors = unit.get('errors') or err.splitlines()
        module.fail_json(msg=message(errors) or 'kavrune-cli failed', rc=result['status'], stderr=err, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
